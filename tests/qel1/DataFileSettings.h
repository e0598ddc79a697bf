#pragma once
// The data file options as plain values, where the settings window reads its controls.
#include <string>

#include "DataFile.h"

namespace qel::test {

struct DataFileSettings : DataFileOptions {
    std::string path = "Data.qel";
    bool rewrite = false;
    bool multiple = false;

    std::string DataFilePath() override { return path; }
    void SetDataFilePath(const std::string& p) override { path = p; }
    bool RewriteFile() override { return rewrite; }
    bool MultipleFiles() override { return multiple; }
};

}  // namespace qel::test
