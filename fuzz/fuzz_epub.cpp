// The EPUB container, package, navigation, NCX and encryption readers on arbitrary bytes;
// epubchecks.h says what must hold.
#include "epubchecks.h"

#include <QDir>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Failure notes must not reach a real program folder.
    qputenv("PARLO_HOME", QDir::tempPath().toUtf8() + "/parlo-fuzz-home");
    QDir().mkpath(QDir::tempPath() + "/parlo-fuzz-home");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return EpubChecks::fuzz(data, size);
}
