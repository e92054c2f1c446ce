// Why no reader is listed: a known reader without a driver, a supported one not listed, or none.
#pragma once

#include <string>
#include <vector>

#include "SystemRoot.h"

enum class ReaderDiagnosisKind {
    kSupportedNotListed,
    kUnsupported,
    kNoReader,
    kDeviceListUnreadable,
};

struct ReaderDiagnosis {
    ReaderDiagnosisKind kind = ReaderDiagnosisKind::kNoReader;
    // One sentence a reader found (or one for the whole case); names escaped for a terminal.
    std::vector<std::string> lines;

    std::string Text() const;  // the lines, each ended by a line break
};

// Reads the USB devices and libfprint's list under the root; for when the back end lists none.
ReaderDiagnosis DiagnoseMissingReader(const SystemRoot& root);
