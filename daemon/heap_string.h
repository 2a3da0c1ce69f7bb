// A NUL-terminated string on the heap that frees itself, for the few texts
// whose length the host decides (header values, log lines, the Message-ID
// line with the host's domain). Allocation failures are reported by a
// false result, never by an exception: nothing may unwind into the host.
#ifndef VELMORA_DAEMON_HEAP_STRING_H
#define VELMORA_DAEMON_HEAP_STRING_H

#include <cstddef>

class HeapString {
  public:
    HeapString() = default;
    ~HeapString();
    HeapString(const HeapString&) = delete;
    HeapString& operator=(const HeapString&) = delete;

    // Makes room for `capacity` bytes, all zero. False if there is no memory.
    bool Reserve(std::size_t capacity);

    // Replaces the content by the concatenation of the given pieces (null
    // pieces read as empty). False if there is no memory; the old content
    // is then kept.
    bool Assign(const char* first, const char* second = nullptr, const char* third = nullptr);

    // Replaces the content by the `length` bytes at `text`. False if there
    // is no memory; the old content is then kept.
    bool AssignBytes(const char* text, std::size_t length);

    // The text; the empty string when nothing was stored.
    const char* Text() const { return data_ != nullptr ? data_ : ""; }

    // Writable storage after Reserve or Assign; null before.
    char* Data() { return data_; }

    bool Empty() const { return data_ == nullptr || data_[0] == '\0'; }

  private:
    char* data_ = nullptr;
};

#endif
