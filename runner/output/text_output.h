// Text the runner writes (the report, the lines, messages on standard
// error) as a std::ostream over a platform output. Where text files end
// lines with CR LF (Windows), every line end becomes CR LF, also in the
// replacement's lines, which already have one: never CR CR LF. Elsewhere
// the bytes go out as they are.
#ifndef VELMORA_RUNNER_OUTPUT_TEXT_OUTPUT_H
#define VELMORA_RUNNER_OUTPUT_TEXT_OUTPUT_H

#include "platform/system.h"

#include <ostream>
#include <streambuf>
#include <string>

class TextOutputBuffer : public std::streambuf {
  public:
    TextOutputBuffer(OutputFile file, bool crlf) : file_(file), crlf_(crlf) {}
    ~TextOutputBuffer() override;
    TextOutputBuffer(const TextOutputBuffer&) = delete;
    TextOutputBuffer& operator=(const TextOutputBuffer&) = delete;

    // Writes what is pending and closes a file the runner opened. False,
    // with `reason` set, when anything written so far was lost.
    bool Close(std::string* reason);

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    void Append(char c);
    bool Flush();

    OutputFile file_;
    bool crlf_;
    bool afterCr_ = false; // the last byte taken was a CR
    std::string pending_;
    std::string error_;
};

// An output stream with its buffer.
class TextOutput {
  public:
    TextOutput(OutputFile file, bool crlf) : buffer_(file, crlf), stream_(&buffer_) {}
    std::ostream& Stream() { return stream_; }
    TextOutputBuffer& Buffer() { return buffer_; }

  private:
    TextOutputBuffer buffer_;
    std::ostream stream_;
};

#endif
