#pragma once

// The results of the list commands on their output stream: gathered in a
// buffer and written a megabyte at a time (or when asked, before a wait or
// a word on the error stream, so that both stand in order). After a failed
// write nothing more is written: the output would have a hole where the
// lost results were. Without a stream (results handed to a sink) nothing is
// written at all.

#include <cstdio>
#include <string>

namespace varnel {

class ResultStream {
public:
    explicit ResultStream(std::FILE* stream) : m_Stream(stream) {}
    ~ResultStream() { Flush(); }
    ResultStream(const ResultStream&) = delete;
    ResultStream& operator=(const ResultStream&) = delete;

    std::string& buffer() { return m_Buffer; }
    bool failed() const { return m_Error != 0; }
    // The system's reason for the first failed write; 0 while none failed.
    int error() const { return m_Error; }

    void FlushIfFull();
    void Flush();

private:
    std::FILE* m_Stream;
    std::string m_Buffer;
    int m_Error = 0;
};

} // namespace varnel
