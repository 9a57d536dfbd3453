// Little-endian numbers as ZIP records store them.
#pragma once

#include <QByteArray>

namespace vorn::zipbytes
{

inline void put16(QByteArray &b, quint32 v)
{
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}
inline void put32(QByteArray &b, quint32 v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
inline void put64(QByteArray &b, quint64 v)
{
    put32(b, quint32(v));
    put32(b, quint32(v >> 32));
}

} // namespace vorn::zipbytes
