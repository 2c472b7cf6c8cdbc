// The pack unit's public header: the CRC calculator, the Ostrel stream codec
// and the buffer codec.
// The pack component TVoPack and its file records come with it.
#pragma once

#include "vopack/CrcCheck.h"
#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/OstrelParallel.h"
#include "vopack/StreamFormat.h"
#include "vopack/VoCompBuffer.h"
#include "vopack/VopackExport.h"
#include "vopack/VoPack.h"
#include "vopack/VoPackFormat.h"
