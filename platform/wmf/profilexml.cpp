#include "profilexml.h"

#include <cctype>

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <nserror.h>
#include <twcom/guidtext.h>

namespace twwmf {

namespace {

QString ToQ(const std::u16string &s)
{
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

std::u16string FromQ(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), static_cast<size_t>(s.size()));
}

QString GuidText(const GUID &g)
{
    return QString::fromStdString(twcom::GuidText(g));
}

// Text XML 1.0 can carry: no control characters but tab, line feed and carriage
// return, and no unpaired surrogates.
bool Representable(const std::u16string &s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

class Attributes {
public:
    explicit Attributes(const QXmlStreamAttributes &a) : m_a(a) {}

    bool Text(const char *name, std::u16string &out) const
    {
        if (!m_a.hasAttribute(QLatin1String(name)))
            return false;
        out = FromQ(m_a.value(QLatin1String(name)).toString());
        return true;
    }
    bool Number(const char *name, DWORD &out) const
    {
        if (!m_a.hasAttribute(QLatin1String(name)))
            return false;
        bool ok = false;
        qulonglong v = m_a.value(QLatin1String(name)).toULongLong(&ok, 10);
        if (!ok || v > 0xFFFFFFFFull)
            return false;
        out = static_cast<DWORD>(v);
        return true;
    }
    bool Guid(const char *name, GUID &out) const
    {
        if (!m_a.hasAttribute(QLatin1String(name)))
            return false;
        QStringView text = m_a.value(QLatin1String(name));
        QUuid u = QUuid::fromString(text);
        if (u.isNull() && text.compare(GuidText(GUID_NULL), Qt::CaseInsensitive) != 0)
            return false;
        out.Data1 = u.data1;
        out.Data2 = u.data2;
        out.Data3 = u.data3;
        for (int i = 0; i < 8; ++i)
            out.Data4[i] = u.data4[i];
        return true;
    }
    bool Bytes(const char *name, std::vector<BYTE> &out) const
    {
        if (!m_a.hasAttribute(QLatin1String(name)))
            return false;
        QByteArray hex = m_a.value(QLatin1String(name)).toLatin1();
        if (hex.size() % 2)
            return false;
        for (char c : hex)
            if (!isxdigit(static_cast<unsigned char>(c)))
                return false;
        QByteArray raw = QByteArray::fromHex(hex);
        out.assign(raw.begin(), raw.end());
        return true;
    }

private:
    const QXmlStreamAttributes m_a;
};

HRESULT ReadMediaType(QXmlStreamReader &xml, MediaFormat &mt)
{
    Attributes a(xml.attributes());
    DWORD fixed = 0, temporal = 0, sampleSize = 0;
    if (!a.Guid("subtype", mt.subtype) || !a.Number("bfixedsizesamples", fixed) ||
        !a.Number("btemporalcompression", temporal) || !a.Number("lsamplesize", sampleSize) ||
        !a.Guid("formattype", mt.formattype) || !a.Bytes("format", mt.format) || fixed > 1 || temporal > 1)
        return NS_E_INVALID_DATA;
    mt.bFixedSizeSamples = static_cast<BOOL>(fixed);
    mt.bTemporalCompression = static_cast<BOOL>(temporal);
    mt.lSampleSize = sampleSize;
    xml.skipCurrentElement();
    return xml.hasError() ? NS_E_INVALID_DATA : S_OK;
}

HRESULT ReadStream(QXmlStreamReader &xml, StreamInfo &s)
{
    Attributes a(xml.attributes());
    DWORD number = 0;
    if (!a.Guid("majortype", s.streamType) || !a.Number("streamnumber", number) || number > 0xFFFF ||
        !a.Text("streamname", s.name) || !a.Text("inputname", s.connection) || !a.Number("bitrate", s.bitrate) ||
        !a.Number("bufferwindow", s.bufferWindow))
        return NS_E_INVALID_DATA;
    s.number = static_cast<WORD>(number);
    bool haveType = false;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("wmmediatype") || haveType)
            return NS_E_INVALID_DATA;
        HRESULT hr = ReadMediaType(xml, s.mediaType);
        if (FAILED(hr))
            return hr;
        haveType = true;
    }
    if (xml.hasError() || !haveType)
        return NS_E_INVALID_DATA;
    s.mediaType.majortype = s.streamType;
    return S_OK;
}

} // namespace

HRESULT SaveProfileXml(const ProfileData &data, std::u16string &out)
{
    if (!Representable(data.name) || !Representable(data.description))
        return NS_E_INVALID_DATA;
    for (const StreamInfo &s : data.streams)
        if (!Representable(s.name) || !Representable(s.connection))
            return NS_E_INVALID_DATA;

    QString text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartElement(QStringLiteral("profile"));
    xml.writeAttribute(QStringLiteral("version"), QString::number(static_cast<unsigned>(data.version)));
    xml.writeAttribute(QStringLiteral("name"), ToQ(data.name));
    xml.writeAttribute(QStringLiteral("description"), ToQ(data.description));
    for (const StreamInfo &s : data.streams) {
        xml.writeStartElement(QStringLiteral("streamconfig"));
        xml.writeAttribute(QStringLiteral("majortype"), GuidText(s.streamType));
        xml.writeAttribute(QStringLiteral("streamnumber"), QString::number(s.number));
        xml.writeAttribute(QStringLiteral("streamname"), ToQ(s.name));
        xml.writeAttribute(QStringLiteral("inputname"), ToQ(s.connection));
        xml.writeAttribute(QStringLiteral("bitrate"), QString::number(s.bitrate));
        xml.writeAttribute(QStringLiteral("bufferwindow"), QString::number(s.bufferWindow));
        const MediaFormat &mt = s.mediaType;
        xml.writeEmptyElement(QStringLiteral("wmmediatype"));
        xml.writeAttribute(QStringLiteral("subtype"), GuidText(mt.subtype));
        xml.writeAttribute(QStringLiteral("bfixedsizesamples"), QString::number(mt.bFixedSizeSamples ? 1 : 0));
        xml.writeAttribute(QStringLiteral("btemporalcompression"), QString::number(mt.bTemporalCompression ? 1 : 0));
        xml.writeAttribute(QStringLiteral("lsamplesize"), QString::number(mt.lSampleSize));
        xml.writeAttribute(QStringLiteral("formattype"), GuidText(mt.formattype));
        QByteArray raw(reinterpret_cast<const char *>(mt.format.data()), static_cast<qsizetype>(mt.format.size()));
        xml.writeAttribute(QStringLiteral("format"), QString::fromLatin1(raw.toHex().toUpper()));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    out = FromQ(text);
    return S_OK;
}

HRESULT LoadProfileXml(const std::u16string &text, ProfileData &out)
{
    QXmlStreamReader xml(ToQ(text));
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("profile"))
        return NS_E_INVALID_DATA;
    ProfileData data;
    Attributes a(xml.attributes());
    DWORD version = 0;
    if (!a.Number("version", version) || !a.Text("name", data.name) || !a.Text("description", data.description))
        return NS_E_INVALID_DATA;
    if (version != WMT_VER_4_0 && version != WMT_VER_7_0 && version != WMT_VER_8_0 && version != WMT_VER_9_0)
        return NS_E_INVALID_DATA;
    data.version = static_cast<WMT_VERSION>(version);
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("streamconfig"))
            return NS_E_INVALID_DATA;
        StreamInfo s;
        HRESULT hr = ReadStream(xml, s);
        if (FAILED(hr))
            return hr;
        data.streams.push_back(std::move(s));
    }
    if (xml.hasError())
        return NS_E_INVALID_DATA;
    // Nothing but whitespace and comments may follow the root element.
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() || (xml.isCharacters() && !xml.isWhitespace()))
            return NS_E_INVALID_DATA;
    }
    if (xml.hasError())
        return NS_E_INVALID_DATA;
    HRESULT hr = CheckProfileData(data);
    if (FAILED(hr))
        return hr;
    out = std::move(data);
    return S_OK;
}

} // namespace twwmf
