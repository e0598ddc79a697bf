#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "DataFile.h"
#include "DiagnosticLog.h"
#include "RecordLine.h"

namespace qel {

// What the program keeps program-wide, shared by both connections and both control
// windows: one object for the whole run, made by main and handed to those that use it. A
// new object is the state of a program start.
struct ProgramState {
    // The diagnostics log and its sink (the settings window).
    DiagnosticLog Log;
    // The fields of the latest record filed, QEL-1 or QEL-1M.
    RecordFieldsData RecordFields;
    // Number of the next QEL-1M record: both control windows count on it; it starts at 1
    // with every program start and is never stored.
    int32_t NextRecordNumber = 1;
    // The data file writer's hold-off after a failed write.
    WriteHoldOff Writing;
    // Read by the QEL-1 receive handler; no control shows it.
    bool GetLastRecordIfError = false;
    // Device names of connections 1 and 2 (index 0 and 1), edited in the control windows;
    // a name outlives its window.
    std::array<std::string, 2> DeviceNames;
    // A QEL-1M receive is running, and the running receive was asked to print a report.
    bool ReceiveInProgress = false;
    bool PrintRequested = false;

    // Takes the next QEL-1M record number and moves the counter on; past the largest
    // value it wraps as a 32-bit counter would rather than overflow.
    int32_t TakeRecordNumber();
};

}  // namespace qel
