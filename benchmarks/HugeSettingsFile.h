#pragma once
// A settings file made huge by blank lines, for the measurements of reading and saving it.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <string>

namespace qel::bench {

// `head`, then blank lines up to `blankBytes`, then the configuration section with every key
// (`con2Type` is connection 2's device type). Written in pieces, so making it costs no memory.
inline bool MakeHugeSettingsFile(const std::string& path, const std::string& head, std::size_t blankBytes,
                                 bool con1InUse, int con2Type) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const auto put = [fd](const std::string& text) {
        return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    };
    std::string blanks;
    for (int i = 0; i < 65536; ++i) blanks += "\r\n";
    bool ok = put(head);
    for (std::size_t written = 0; ok && written < blankBytes; written += blanks.size()) ok = put(blanks);
    ok = ok && put(std::string("[QEL1_Agent]\r\nCon1check=") + (con1InUse ? "1" : "0") +
                   "\r\nCon2check=0\r\nCon1numCOM=1\r\nCon2numCOM=2\r\nCon1Speed=0\r\nCon2Speed=1\r\n"
                   "Con1QELType=0\r\nCon2QELType=" +
                   std::to_string(con2Type) +
                   "\r\nGetLastRecordIfError=0\r\nScreenMessages=0\r\nRewrite=0\r\nMultyFiles=0\r\n"
                   "SaveFile=Data.qel\r\nName1=\r\nName2=\r\n");
    return ::close(fd) == 0 && ok;
}

}  // namespace qel::bench
