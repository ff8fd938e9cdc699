#include "lists/result_stream.h"

#include <cerrno>

namespace varnel {

namespace {

constexpr std::size_t kFlushSize = 1u << 20;

} // namespace

void ResultStream::FlushIfFull() {
    if (m_Buffer.size() >= kFlushSize) {
        Flush();
    }
}

void ResultStream::Flush() {
    if (m_Stream == nullptr) { // results go to a sink
        m_Buffer.clear();
        return;
    }
    if (!m_Buffer.empty() && !failed()) {
        errno = 0;
        if (std::fwrite(m_Buffer.data(), 1, m_Buffer.size(), m_Stream) != m_Buffer.size()) {
            m_Error = errno != 0 ? errno : EIO;
        }
    }
    m_Buffer.clear();
    if (!failed() && std::fflush(m_Stream) != 0) {
        m_Error = errno != 0 ? errno : EIO;
    }
}

} // namespace varnel
