#include "ParityMarks.h"

namespace {

constexpr char kMark = char(0xFF);
constexpr char kReplacement = '?';

} // namespace

QByteArray ParityMarkDecoder::decode(const QByteArray& marked) {
    if (m_pending == 0 && !marked.contains(kMark))
        return marked;
    QByteArray out;
    out.reserve(marked.size());
    for (const char c : marked) {
        switch (m_pending) {
        case 0:
            if (c == kMark)
                m_pending = 1;
            else
                out += c;
            break;
        case 1:
            if (c == '\0') {
                m_pending = 2;
                break;
            }
            // 0xFF 0xFF is a real 0xFF; anything else after a lone 0xFF is passed on as it came.
            out += kMark;
            if (c != kMark)
                out += c;
            m_pending = 0;
            break;
        default:
            out += kReplacement;
            m_pending = 0;
            break;
        }
    }
    return out;
}
