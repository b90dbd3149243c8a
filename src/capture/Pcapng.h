#pragma once

#include <QtGlobal>

// The numbers of the pcapng file format that both the writer and the reader use.
namespace Pcapng {

constexpr quint32 sectionHeaderBlock = 0x0A0D0D0A;
constexpr quint32 interfaceDescriptionBlock = 1;
constexpr quint32 enhancedPacketBlock = 6;
constexpr quint32 byteOrderMagic = 0x1A2B3C4D;

constexpr quint16 endOfOptions = 0;
constexpr quint16 commentOption = 1;
constexpr quint16 interfaceNameOption = 2;
constexpr quint16 timestampResolutionOption = 9;
constexpr char microseconds = 6; // 10^-6 s, the resolution when an interface names none

// A block's type and length before its body, and the length again after it.
constexpr int blockFraming = 12;

} // namespace Pcapng
