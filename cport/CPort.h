// The one header a user of the serial layer includes.
#pragma once

#include "cport/ComDataPacket.h"
#include "cport/ComError.h"
#include "cport/ComPort.h"
#include "cport/ComSettings.h"
#include "cport/ComSync.h"
#include "cport/ComTypes.h"
