#include "platform/voice/espeakvoice.h"
#include "voicetestsupport.h"

#include <gtest/gtest.h>
TEST(AudioPathPlaceholder, Nothing) {}
