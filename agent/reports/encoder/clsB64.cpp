#include "agent/reports/encoder/clsB64.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

clsB64::clsB64() {
    for (int i = 0; i < 26; ++i) {
        m_table[i] = static_cast<std::uint8_t>('A' + i);
        m_table[26 + i] = static_cast<std::uint8_t>('a' + i);
    }
    for (int i = 0; i < 10; ++i)
        m_table[52 + i] = static_cast<std::uint8_t>('0' + i);
    m_table[62] = '+';
    m_table[63] = '/';
}

void clsB64::Load(const std::string& strPathName, std::vector<std::uint8_t>& pbArrayOutput) const {
    int fd = ::open(strPathName.c_str(), O_RDONLY | O_CLOEXEC);
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
    const std::size_t n = pbArrayInput.size();
    const std::size_t full = n / 3;
    pbArrayOutput.resize(4 * full + (n % 3 ? 4 : 0));
    const std::uint8_t* in = pbArrayInput.data();
    std::uint8_t* out = pbArrayOutput.data();
    const std::uint8_t* t = m_table.data();
    for (std::size_t g = 0; g < full; ++g, in += 3, out += 4) {
        const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
        out[0] = t[v >> 18];
        out[1] = t[(v >> 12) & 63];
        out[2] = t[(v >> 6) & 63];
        out[3] = t[v & 63];
    }
    if (n % 3 == 1) {
        out[0] = t[in[0] >> 2];
        out[1] = t[(in[0] & 3) << 4];
        out[2] = '=';
        out[3] = '=';
    } else if (n % 3 == 2) {
        out[0] = t[in[0] >> 2];
        out[1] = t[((in[0] & 3) << 4) | (in[1] >> 4)];
        out[2] = t[(in[1] & 15) << 2];
        out[3] = '=';
    }
}

void clsB64::ByteArrayToString(const std::vector<std::uint8_t>& pbArrayInput, std::string& strOut) {
    strOut.assign(pbArrayInput.begin(), pbArrayInput.end());
}
