#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vq {

// Writes compact JSON text. Callers keep keys and values in order; the
// writer inserts the commas.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(double number);
    JsonWriter& value(int number) { return value(static_cast<long long>(number)); }
    JsonWriter& value(long long number);
    JsonWriter& value(bool flag);
    JsonWriter& null();

    const std::string& str() const { return _out; }

private:
    void separate();
    std::string _out;
    std::vector<bool> _first; // per open container: nothing written yet
    bool _afterKey = false;
};

// Appends text as a JSON string literal: quoted, escaped, UTF-8 kept, and
// malformed UTF-8 replaced by U+FFFD.
void appendJsonString(std::string& out, std::string_view text);

} // namespace vq
