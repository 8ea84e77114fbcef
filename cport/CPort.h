// The one header a user of the serial layer includes.
#pragma once

#include "cport/ComError.h"
#include "cport/ComPort.h"
#include "cport/ComSync.h"
#include "cport/ComTypes.h"

#if __has_include("cport/ComDataPacket.h")
#include "cport/ComDataPacket.h"
#endif
#if __has_include("cport/ComSettings.h")
#include "cport/ComSettings.h"
#endif
