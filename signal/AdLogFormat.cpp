#include "signal/AdLogFormat.h"

#include <array>
#include <charconv>
#include <cstring>
#include <optional>

namespace oculant {
namespace {

// Decimal text of every byte value with its trailing blank, padded to 4 bytes so that one
// fixed-size copy writes any of them.
struct SampleText {
    char text[4];
    uint8_t length;
};

constexpr std::array<SampleText, 256> makeSampleTexts()
{
    std::array<SampleText, 256> table{};
    for (int v = 0; v < 256; ++v) {
        SampleText& t = table[size_t(v)];
        int n = 0;
        if (v >= 100)
            t.text[n++] = char('0' + v / 100);
        if (v >= 10)
            t.text[n++] = char('0' + v / 10 % 10);
        t.text[n++] = char('0' + v % 10);
        t.text[n++] = ' ';
        for (int i = n; i < 4; ++i)
            t.text[i] = ' ';
        t.length = uint8_t(n);
    }
    return table;
}

constexpr std::array<SampleText, 256> kSampleTexts = makeSampleTexts();

// Longest texts: "-32768 " for an offset, "65535 " for a header value, "255 " for a sample.
constexpr size_t kOffsetChars = 7;
constexpr size_t kHeaderValueChars = 6;
constexpr size_t kSampleChars = 4;

// Where a block's samples are: A layer bytes, then optionally 4 + 4 boundary rows.
struct BlockSamples {
    const uint8_t* layers = nullptr;
    bool boundary = false;
    const uint8_t* xBoundary = nullptr;
    size_t xStride = 0;
    size_t xLength = 0;
    const uint8_t* yBoundary = nullptr;
    size_t yStride = 0;
    size_t yLength = 0;
};

char* writeValue(char* p, long value)
{
    return std::to_chars(p, p + 16, value).ptr;
}

char* writeOffsets(char* p, std::span<const int16_t> offsets)
{
    for (int16_t o : offsets) {
        p = writeValue(p, o);
        *p++ = ' ';
    }
    return p;
}

// A row of samples, each followed by a blank, then a line feed; adds the samples to `sum`.
char* writeSampleRow(char* p, const uint8_t* samples, size_t count, uint32_t& sum)
{
    for (size_t i = 0; i < count; ++i) {
        const SampleText& t = kSampleTexts[samples[i]];
        std::memcpy(p, t.text, sizeof t.text);
        p += t.length;
        sum += samples[i];
    }
    *p++ = '\n';
    return p;
}

size_t worstCaseChars(const FrameHeader& h, const BlockSamples& s)
{
    const size_t rows = size_t(h.layerCount()) + (s.boundary ? 2 * kBoundaryRowsPerAxis : 0);
    size_t samples = h.sampleBlockLength();
    if (s.boundary)
        samples += kBoundaryRowsPerAxis * (s.xLength + s.yLength);
    return 8 * kHeaderValueChars + 2 * size_t(h.layerCount()) * kOffsetChars + 2
        + samples * kSampleChars + rows + 8;
}

// Writes one block; the checksum row holds `checksum` when given, else the computed sum.
void appendBlock(LogTextBuffer& out, const FrameHeader& h, uint8_t kind, const BlockSamples& s,
                 std::optional<uint8_t> checksum)
{
    char* const start = out.reserveTail(worstCaseChars(h, s));
    char* p = start;
    const long header[] = {kind, h.byte1, h.byte2, h.word3, h.bX, h.bY, h.nX, h.nY};
    for (size_t i = 0; i < std::size(header); ++i) {
        p = writeValue(p, header[i]);
        *p++ = i + 1 < std::size(header) ? ' ' : '\n';
    }
    p = writeOffsets(p, h.firstSet());
    if (hasLongHeader(frameFamily(kind))) {
        *p++ = '\n';
        p = writeOffsets(p, h.secondSet());
    }
    *p++ = '\n';

    uint32_t sum = kind + h.sumAfterKind;
    const uint8_t* layer = s.layers;
    for (int i = 0; i < h.bX; ++i, layer += h.nX)
        p = writeSampleRow(p, layer, h.nX, sum);
    for (int j = 0; j < h.bY; ++j, layer += h.nY)
        p = writeSampleRow(p, layer, h.nY, sum);
    if (s.boundary) {
        for (int k = 0; k < kBoundaryRowsPerAxis; ++k)
            p = writeSampleRow(p, s.xBoundary + size_t(k) * s.xStride, s.xLength, sum);
        for (int k = 0; k < kBoundaryRowsPerAxis; ++k)
            p = writeSampleRow(p, s.yBoundary + size_t(k) * s.yStride, s.yLength, sum);
    }
    p = writeValue(p, checksum ? *checksum : uint8_t(sum));
    *p++ = '\n';
    out.commit(p);
}

}  // namespace

std::string_view logVersionLine(uint8_t family)
{
    switch (family) {
    case kFamilyShortHeader:
        return "AD Log Data Version 1.0";
    case kFamilyFullScan:
        return "AD Log Data Version 2.0";
    case kFamilyBoundary:
        return "AD Log Data Version 5.0";
    default:
        return {};
    }
}

void appendVersionLine(LogTextBuffer& out, uint8_t family)
{
    const std::string_view line = logVersionLine(family);
    if (line.empty())
        return;
    out.append(line);
    out.append("\n");
}

bool appendReferenceBlock(LogTextBuffer& out, const FrameHeader& header, uint8_t kind,
                          const SignalStore& store, int plane)
{
    const uint8_t family = header.family();
    if (family == kFamilyPartialScan || store.plane(plane).empty())
        return false;
    BlockSamples s;
    s.layers = store.plane(plane).data();
    if (family == kFamilyBoundary) {
        const auto x = header.xBoundaryLength();
        const auto y = header.yBoundaryLength();
        if (!x || !y)
            return false;
        s.boundary = true;
        s.xBoundary = store.row(plane, store.xBoundaryRow(0)).data();
        s.xStride = store.nX();
        s.xLength = *x;
        s.yBoundary = store.row(plane, store.yBoundaryRow(0)).data();
        s.yStride = store.nY();
        s.yLength = *y;
    }
    appendBlock(out, header, kind, s, std::nullopt);
    return true;
}

bool appendFrameBlock(LogTextBuffer& out, const FrameHeader& header, const uint8_t* payload)
{
    const uint8_t family = header.family();
    if (family == kFamilyPartialScan)
        return false;
    const size_t a = header.sampleBlockLength();
    BlockSamples s;
    s.layers = payload;
    size_t end = a;
    if (family == kFamilyBoundary) {
        const auto x = header.xBoundaryLength();
        const auto y = header.yBoundaryLength();
        if (!x || !y)
            return false;
        s.boundary = true;
        s.xBoundary = payload + a;
        s.xStride = s.xLength = *x;
        s.yBoundary = s.xBoundary + kBoundaryRowsPerAxis * *x;
        s.yStride = s.yLength = *y;
        end += kBoundaryRowsPerAxis * (*x + *y);
    }
    appendBlock(out, header, header.kind, s, payload[end]);
    return true;
}

}  // namespace oculant
