#pragma once
#include <QLoggingCategory>

// Debug output of the window and its tabs.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
