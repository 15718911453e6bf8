#include "agent/reports/encoder/clsB64.h"

#include "common/Base64.h"
#include "common/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

void clsB64::Load(const std::string& strPathName, std::vector<std::uint8_t>& pbArrayOutput) const {
    int fd = verolux::OpenForReading(strPathName);
    if (fd < 0) throw std::runtime_error("cannot open " + strPathName + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw std::runtime_error("not a readable file: " + strPathName);
    }
    pbArrayOutput.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < pbArrayOutput.size()) {
        ssize_t n = ::read(fd, pbArrayOutput.data() + got, pbArrayOutput.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = errno;
            ::close(fd);
            pbArrayOutput.clear();
            throw std::runtime_error("cannot read " + strPathName +
                                     (n < 0 ? ": " + std::string(std::strerror(err)) : ""));
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (pbArrayOutput.empty()) throw std::runtime_error("empty file: " + strPathName);
}

void clsB64::Encode(const std::vector<std::uint8_t>& pbArrayInput,
                    std::vector<std::uint8_t>& pbArrayOutput) const {
    const std::string_view bytes(reinterpret_cast<const char*>(pbArrayInput.data()), pbArrayInput.size());
    pbArrayOutput.resize(mBase64::EncodedLength(bytes.size()));
    mBase64::EncodeBase64(bytes, reinterpret_cast<char*>(pbArrayOutput.data()));
}

void clsB64::ByteArrayToString(const std::vector<std::uint8_t>& pbArrayInput, std::string& strOut) {
    strOut.assign(pbArrayInput.begin(), pbArrayInput.end());
}
