#include "formats/text/text_lines.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "formats/load_error.h"
#include "platform/files/text_file.h"
#include "platform/text/codepage.h"

namespace tessaly::text_read {

namespace {
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// UTF-16 to UTF-8 piece by piece: a code unit or a surrogate pair may be cut
// between two pieces.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}

    void Feed(std::string_view bytes, std::string& out)
    {
        for (char b : bytes) {
            const auto byte = static_cast<unsigned char>(b);
            if (pending_ < 0) {
                pending_ = byte;
                continue;
            }
            Unit(static_cast<char16_t>(bigEndian_ ? (pending_ << 8) | byte : (byte << 8) | pending_), out);
            pending_ = -1;
        }
    }

    // The end of the text: a lone byte or high surrogate left is malformed.
    void Finish(std::string& out)
    {
        if (high_ != 0 || pending_ >= 0) Replace(out);
        high_ = 0;
        pending_ = -1;
    }

    int64_t Replaced() const { return replaced_; }

private:
    void Unit(char16_t u, std::string& out)
    {
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (high_ != 0) {
            if (low) {
                AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(high_) - 0xD800) << 10) + (u - 0xDC00u));
                high_ = 0;
                return;
            }
            high_ = 0;
            Replace(out);
        }
        if (u >= 0xD800 && u <= 0xDBFF) high_ = u;
        else if (low) Replace(out);
        else AppendUtf8(out, u);
    }

    void Replace(std::string& out)
    {
        out += kReplacement;
        ++replaced_;
    }

    bool bigEndian_;
    int pending_ = -1;  // the first byte of a code unit
    char16_t high_ = 0;
    int64_t replaced_ = 0;
};

// The encoding of a file without a byte-order mark.
TextEncoding DetectEncoding(const std::string& file)
{
    BufferedInput in(file);
    Utf8Check check;
    while (!check.Failed() && in.Fill(0)) {
        check.Feed(std::string_view(in.Begin(), static_cast<size_t>(in.End() - in.Begin())));
        in.Skip(static_cast<size_t>(in.End() - in.Begin()));
    }
    return check.Valid() && check.HasHighBytes() ? TextEncoding::Utf8 : TextEncoding::Cp1252;
}
}  // namespace

// The file's bytes, UTF-16 decoded to UTF-8 as they are read; other
// encodings are passed on as bytes and decoded a line at a time (their line
// ends are the ASCII bytes).
class DecodedInput {
public:
    explicit DecodedInput(const std::string& file) : raw_(file) {}

    // Reads the byte-order mark and settles the encoding.
    TextEncoding Start()
    {
        const std::string_view start =
            raw_.Fill(0) ? std::string_view(raw_.Begin(), std::min<size_t>(3, static_cast<size_t>(raw_.End() - raw_.Begin())))
                         : std::string_view();
        if (start.substr(0, 3) == "\xEF\xBB\xBF") {
            raw_.Skip(3);
            return TextEncoding::Utf8;
        }
        if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF") {
            utf16_.emplace(start[0] == '\xFE');
            raw_.Skip(2);
            return start[0] == '\xFE' ? TextEncoding::Utf16Be : TextEncoding::Utf16Le;
        }
        return DetectEncoding(raw_.Name());
    }

    bool Fill(int64_t line)
    {
        if (!utf16_) return raw_.Fill(line);
        while (pos_ == buf_.size()) {
            if (finished_) return false;
            buf_.clear();
            pos_ = 0;
            if (raw_.Fill(line)) {
                const auto n = static_cast<size_t>(raw_.End() - raw_.Begin());
                utf16_->Feed(std::string_view(raw_.Begin(), n), buf_);
                raw_.Skip(n);
            } else {
                utf16_->Finish(buf_);
                finished_ = true;
            }
        }
        return true;
    }
    const char* Begin() const { return utf16_ ? buf_.data() + pos_ : raw_.Begin(); }
    const char* End() const { return utf16_ ? buf_.data() + buf_.size() : raw_.End(); }
    void Skip(size_t n) { utf16_ ? void(pos_ += n) : raw_.Skip(n); }
    int64_t Replaced() const { return utf16_ ? utf16_->Replaced() : 0; }

private:
    BufferedInput raw_;
    std::optional<Utf16Decoder> utf16_;
    std::string buf_;
    size_t pos_ = 0;
    bool finished_ = false;
};

LineSource::LineSource(const std::string& file) : file_(file), in_(std::make_unique<DecodedInput>(file))
{
    encoding_ = in_->Start();
}

LineSource::~LineSource() = default;

int64_t LineSource::Replaced() const { return replaced_ + in_->Replaced(); }

bool LineSource::Next(std::string& line, std::string_view& end)
{
    line.clear();
    end = {};
    if (!in_->Fill(line_ + 1)) return false;
    ++line_;
    while (in_->Fill(line_)) {
        const char* begin = in_->Begin();
        const char* stop = std::find_if(begin, in_->End(), [](char c) { return c == '\r' || c == '\n'; });
        line.append(begin, stop);
        in_->Skip(static_cast<size_t>(stop - begin));
        if (line.size() > kMaxRecord)
            FailFile(file_, "line " + std::to_string(line_) +
                                ": the line is longer than 1 MiB, which no point file's line is");
        if (stop == in_->End()) continue;
        const bool cr = *stop == '\r';
        in_->Skip(1);
        end = cr ? "\r" : "\n";
        if (cr && in_->Fill(line_) && *in_->Begin() == '\n') {
            in_->Skip(1);
            end = "\r\n";
        }
        break;
    }
    Decode(line);
    return true;
}

void LineSource::Decode(std::string& line)
{
    if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
        const auto kept = std::remove(line.begin(), line.end(), '\0');
        nuls_ += line.end() - kept;
        line.erase(kept, line.end());
    }
    if (encoding_ == TextEncoding::Cp1252) {
        if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            line = Cp1252ToUtf8(line);
    } else if (encoding_ == TextEncoding::Utf8) {
        Utf8Check check;
        check.Feed(line);
        if (!check.Valid()) line = MendUtf8(line, replaced_, kReplacement);
    }
}

}  // namespace tessaly::text_read
