#include "common/namebytes.h"

#include <QTextCodec>

namespace {

// A low surrogate of U+DC80..U+DCFF that no high one comes before: the
// second half of a pair (U+10080) is no stray byte.
bool strayByteAt(const QChar *text, int at)
{
    return text[at].unicode() >= 0xDC80 && text[at].unicode() <= 0xDCFF && (at == 0 || !text[at - 1].isHighSurrogate());
}

// UTF-8 whose stray bytes travel as lone surrogates. A decoder that keeps
// state between pieces (a stream) gets plain UTF-8: only whole names are
// decoded here.
class StrayBytesCodec : public QTextCodec
{
public:
    explicit StrayBytesCodec(QTextCodec *utf8)
        : m_utf8(utf8)
    { }
    QByteArray name() const override { return "x-bexlor-utf-8-stray-bytes"; }
    int mibEnum() const override { return 3106; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        if (state)
            return m_utf8->toUnicode(in, length, state);
        QString text;
        text.reserve(length);
        const auto *bytes = reinterpret_cast<const unsigned char *>(in);
        for (int at = 0; at < length;) {
            const unsigned char lead = bytes[at];
            const int size = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
            char32_t point = size == 1 ? lead : size == 2 ? lead & 0x1F : size == 3 ? lead & 0x0F : lead & 0x07;
            bool whole = size > 0 && at + size <= length;
            for (int next = 1; whole && next < size; ++next) {
                whole = (bytes[at + next] & 0xC0) == 0x80;
                point = point << 6 | (bytes[at + next] & 0x3F);
            }
            // Overlong forms, surrogates and points past U+10FFFF are stray bytes too.
            static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
            if (whole && point >= least[size] && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF)) {
                text += QString::fromUcs4(&point, 1);
                at += size;
            } else {
                text += QChar(char16_t(0xDC00 + lead));
                ++at;
            }
        }
        return text;
    }

    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *state) const override
    {
        QByteArray bytes;
        bytes.reserve(length);
        for (int at = 0; at < length;) {
            int run = at;
            while (run < length && !strayByteAt(in, run))
                ++run;
            bytes += m_utf8->fromUnicode(in + at, run - at, state);
            for (at = run; at < length && strayByteAt(in, at); ++at)
                bytes += char(in[at].unicode() - 0xDC00);
        }
        return bytes;
    }

private:
    QTextCodec *m_utf8;
};

} // namespace

void keepStrayBytesInNames()
{
    QTextCodec *locale = QTextCodec::codecForLocale();
    if (locale && locale->mibEnum() == 106) // UTF-8
        QTextCodec::setCodecForLocale(new StrayBytesCodec(locale)); // Qt keeps every codec made
}

bool hasStrayBytes(const QString &text)
{
    for (int at = 0; at < text.size(); ++at) {
        if (strayByteAt(text.constData(), at))
            return true;
    }
    return false;
}
