#pragma once
#include "DataFile.h"
#include "DiagnosticLog.h"
#include "RecordNumberCounter.h"

namespace qel {

// What the program keeps program-wide: one object for the whole run, made by main, whose
// pieces are handed to those that use them. A new object is the state of a program start.
// The options (GetLastRecordIfError and the device names among them) are not here: they
// are the settings window's, read at the moment of use.
struct ProgramState {
    // The diagnostics log and its sink (the settings window).
    DiagnosticLog Log;
    // Number of the next QEL-1M record.
    RecordNumberCounter RecordNumbers;
    // The data file writer's hold-off after a failed write.
    WriteHoldOff Writing;
};

}  // namespace qel
