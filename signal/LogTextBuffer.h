#pragma once
// A growable byte buffer for log text. Formatting reserves a worst-case tail, writes digits
// straight into it and commits the end, so no byte is zero-filled or formatted twice.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace oculant {

class LogTextBuffer {
public:
    // Room for at least `extra` more bytes; returns where the next byte goes.
    char* reserveTail(size_t extra)
    {
        if (capacity_ - size_ < extra) {
            const size_t capacity = std::max(size_ + extra, 2 * capacity_);
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (size_ > 0)
                std::memcpy(grown.get(), data_.get(), size_);
            data_ = std::move(grown);
            capacity_ = capacity;
        }
        return data_.get() + size_;
    }
    // Marks everything up to `end` (inside the reserved tail) as written.
    void commit(const char* end) { size_ = size_t(end - data_.get()); }
    void append(std::string_view text)
    {
        char* p = reserveTail(text.size());
        std::memcpy(p, text.data(), text.size());
        commit(p + text.size());
    }
    void clear() { size_ = 0; }
    const char* data() const { return data_.get(); }
    size_t size() const { return size_; }
    std::string_view view() const { return {data_.get(), size_}; }

private:
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace oculant
