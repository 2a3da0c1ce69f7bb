// Text output; see text_output.h.
#include "runner/output/text_output.h"

namespace {

// Written in pieces of about this size, so that memory stays small while
// a long run's lines go out.
constexpr std::size_t kFlushThreshold = 64 * 1024;

} // namespace

TextOutputBuffer::~TextOutputBuffer() {
    std::string ignored;
    Close(&ignored);
}

void TextOutputBuffer::Append(char c) {
    if (crlf_ && c == '\n' && !afterCr_) {
        pending_ += '\r';
    }
    pending_ += c;
    afterCr_ = c == '\r';
}

TextOutputBuffer::int_type TextOutputBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    Append(traits_type::to_char_type(c));
    if (pending_.size() >= kFlushThreshold && !Flush()) {
        return traits_type::eof();
    }
    return c;
}

std::streamsize TextOutputBuffer::xsputn(const char* text, std::streamsize count) {
    for (std::streamsize i = 0; i < count; ++i) {
        Append(text[i]);
    }
    if (pending_.size() >= kFlushThreshold && !Flush()) {
        return 0;
    }
    return count;
}

int TextOutputBuffer::sync() {
    return Flush() ? 0 : -1;
}

bool TextOutputBuffer::Flush() {
    if (pending_.empty()) {
        return error_.empty();
    }
    std::string reason;
    if (error_.empty() && !WriteOutputFile(file_, pending_, &reason)) {
        error_ = reason;
    }
    pending_.clear();
    return error_.empty();
}

bool TextOutputBuffer::Close(std::string* reason) {
    Flush();
    std::string closeReason;
    if (!CloseOutputFile(&file_, &closeReason) && error_.empty()) {
        error_ = closeReason;
    }
    *reason = error_;
    return error_.empty();
}
