#include "proto_Vorlen_v2.h"
