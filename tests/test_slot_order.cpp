#include <QtTest>

#include "MainWindow.h"

// The window's slots keep a fixed order and fixed signatures: tools and
// by-name connections rely on the meta-object indexes.
class TestSlotOrder : public QObject
{
    Q_OBJECT
private slots:
    void slotsInDeclaredOrder();
};

void TestSlotOrder::slotsInDeclaredOrder()
{
    static const char* const expected[] = {
        "log(QString)",
        "exchange(uint8_t*,uint32_t,uint8_t)",
        "on_serialPortAction_Button_clicked()",
        "on_serialPortOpen_Button_clicked()",
        "on_serialPortUpdate_Button_clicked()",
        "on_logClear_Button_clicked()",
        "on_bootloader_Start_Button_clicked()",
        "on_getInfo_Button_clicked()",
        "on_userData_write_Button_clicked()",
        "on_userData_read_Button_clicked()",
        "on_cmds_currentChanged(int)",
        "on_atCmd_AT_Send_pushButton_clicked()",
        "on_atCmd_NAME_Send_pushButton_clicked()",
        "on_atCmd_RESET_Send_pushButton_clicked()",
        "on_atCmd_RENEW_Send_pushButton_clicked()",
        "on_atCmd_AT_SetSpeed_pushButton_clicked()",
        "on_atCmd_AT_SetName_pushButton_clicked()",
        "on_atCmd_ATBaud_Send_pushButton_clicked()",
        "on_atCmd_sendHandCmd_pushButton_clicked()",
        "on_data_ExchangeButton_clicked()",
        "on_data_LED1_R_Button_clicked()",
        "on_data_WriteControl_button_clicked()",
        "on_data_LED1_G_Button_clicked()",
        "on_data_LED1_B_Button_clicked()",
        "on_data_LED2_R_Button_clicked()",
        "on_data_LED2_G_Button_clicked()",
        "on_data_LED2_B_Button_clicked()",
        "on_data_BLE_State_comboBox_activated(QString)",
        "on_data_AccelScale_comboBox_activated(QString)",
        "on_data_conductPullup_combobox_activated(QString)",
        "on_data_requestSpeed_ComboBox_activated(QString)",
        "on_exchange_StartStop_button_clicked()",
        "on_exchange_SetConductScale_comboBox_activated(int)",
        "on_exchange_SetAccel_Scale_comboBox_activated(int)",
        "on_archive_GetStatus_button_clicked()",
        "on_archive_StartRecord_button_clicked()",
        "on_archive_GetData_button_clicked()",
        "on_stat_get_button_clicked()",
        "on_stat_reset_allow_checkBox_clicked(bool)",
        "on_stat_reset_button_clicked()",
        "on_bl_Program_Run_Button_clicked()",
        "on_bl_fwConf_request_button_clicked()",
        "on_bl_choose_Sheet_Button_clicked()",
        "on_bl_load_mainProg_request_Button_clicked()",
        "on_run_ReleaseNotesFile_button_clicked()",
        "on_hwConfig_get_Button_clicked()",
        "on_hwConfig_Set_Button_clicked()",
        "on_atCmd_VERS_Send_pushButton_clicked()",
        "on_pc_debugData_ExchangeButton_clicked()",
        "on_pc_debugData_setPwm_button_clicked()",
        "on_run_vorlen_Proto_File_button_clicked()",
        "on_hwConfig_setDefCalibValues_button_clicked()",
        "on_run_vorlen_ProgrammingGuise_File_button_clicked()",
        "on_checkBox_clicked(bool)",
        "on_chem_DefaultReset_button_clicked()",
        "on_physic_DefaultReset_button_clicked()",
        "on_bio_DefaultReset_button_clicked()",
    };
    constexpr int count = int(sizeof expected / sizeof expected[0]);
    QCOMPARE(count, 57);

    const QMetaObject& mo = MainWindow::staticMetaObject;
    const int offset = mo.methodOffset();
    // Exactly these methods: no extra slot or signal shifts the indexes.
    QCOMPARE(mo.methodCount() - offset, count);
    for (int i = 0; i < count; ++i) {
        const QMetaMethod m = mo.method(offset + i);
        QVERIFY2(m.methodSignature() == QByteArray(expected[i]),
                 qPrintable(QStringLiteral("index %1: %2, expected %3")
                                .arg(i)
                                .arg(QString::fromLatin1(m.methodSignature()))
                                .arg(QLatin1String(expected[i]))));
        QCOMPARE(m.methodType(), QMetaMethod::Slot);
        QCOMPARE(m.access(), QMetaMethod::Public);
        QCOMPARE(mo.indexOfSlot(expected[i]) - offset, i);
    }
}

QTEST_MAIN(TestSlotOrder)
#include "test_slot_order.moc"
