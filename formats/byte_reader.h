#pragma once

// ByteReader: a bounds-checked big-endian reader over bytes held in memory,
// for the readers of outside bytes (the property bag's byte form, the PNG
// chunks of its pictures). Every read checks what is left first, so lengths
// from the input never drive an allocation larger than the input itself. A
// read that runs past the end fails the reader for good: ok() turns false and
// every later read gives zeros or empty values.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace varnel::formats {

class ByteReader {
public:
    // The length QDataStream writes for a null string or array.
    static constexpr std::uint32_t kNullLength = 0xFFFFFFFFu;

    explicit ByteReader(const QByteArray& bytes)
        : m_Data(reinterpret_cast<const unsigned char*>(bytes.constData())),
          m_Size(static_cast<std::size_t>(bytes.size())) {}
    // The reader keeps a pointer into the bytes: never let it outlive them.
    explicit ByteReader(QByteArray&&) = delete;

    bool ok() const { return m_Ok; }
    bool atEnd() const { return m_Pos == m_Size; }
    std::size_t remaining() const { return m_Size - m_Pos; }
    std::size_t position() const { return m_Pos; }
    bool skip(std::size_t n) {
        if (!m_Ok || n > remaining()) {
            m_Ok = false;
            return false;
        }
        m_Pos += n;
        return true;
    }
    void fail() { m_Ok = false; }

    bool raw(void* out, std::size_t n) {
        if (!m_Ok || n > remaining()) {
            m_Ok = false;
            return false;
        }
        std::memcpy(out, m_Data + m_Pos, n);
        m_Pos += n;
        return true;
    }

    std::uint64_t unsignedBE(std::size_t n) {
        unsigned char buf[8] = {};
        if (!raw(buf, n)) {
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            v = (v << 8) | buf[i];
        }
        return v;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(unsignedBE(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(unsignedBE(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(unsignedBE(4)); }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64() {
        const std::uint64_t bits = unsignedBE(8);
        double d = 0;
        static_assert(sizeof d == sizeof bits);
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    // A QDataStream QString: byte length (even) then UTF-16BE; the null
    // marker reads as an empty string. Longer than maxChars fails.
    QString string(qsizetype maxChars) {
        const std::uint32_t bytes = u32();
        if (!m_Ok || bytes == kNullLength) {
            return {};
        }
        if ((bytes % 2) != 0 || bytes / 2 > static_cast<std::uint64_t>(maxChars) ||
            bytes > remaining()) {
            m_Ok = false;
            return {};
        }
        QString s(static_cast<qsizetype>(bytes / 2), Qt::Uninitialized);
        char16_t* out = reinterpret_cast<char16_t*>(s.data());
        for (std::uint32_t i = 0; i < bytes / 2; ++i) {
            out[i] = static_cast<char16_t>((m_Data[m_Pos] << 8) | m_Data[m_Pos + 1]);
            m_Pos += 2;
        }
        return s;
    }

    // A QDataStream QByteArray: length then bytes; the null marker reads as
    // an empty array.
    QByteArray bytes(qsizetype maxBytes) {
        const std::uint32_t n = u32();
        if (!m_Ok || n == kNullLength) {
            return {};
        }
        if (n > static_cast<std::uint64_t>(maxBytes) || n > remaining()) {
            m_Ok = false;
            return {};
        }
        QByteArray b(reinterpret_cast<const char*>(m_Data + m_Pos), static_cast<qsizetype>(n));
        m_Pos += n;
        return b;
    }

private:
    const unsigned char* m_Data;
    std::size_t m_Size;
    std::size_t m_Pos = 0;
    bool m_Ok = true;
};

} // namespace varnel::formats
