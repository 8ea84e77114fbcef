// The whole protocol layer in one include.
#pragma once

#include "protocol/Commands.h"
#include "protocol/Convert.h"
#include "protocol/DateTime.h"
#include "protocol/Decode.h"
#include "protocol/Framing.h"
#include "protocol/LogRecord.h"
#include "protocol/ReplyView.h"
