// A small JSON reader for the tests of what the program writes as JSON: strict enough that
// a malformed document fails the test (it throws), no more.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mizuto::test {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } Type = Kind::Null;
  bool Boolean = false;
  double Number = 0;
  std::string Text;  // UTF-8
  std::vector<Json> Items;
  std::map<std::string, Json> Fields;

  const Json& operator[](const std::string& key) const {
    const auto it = Fields.find(key);
    if (Type != Kind::Object || it == Fields.end()) throw std::runtime_error("no JSON field " + key);
    return it->second;
  }
  const Json& operator[](std::size_t i) const {
    if (Type != Kind::Array || i >= Items.size()) throw std::runtime_error("no JSON item " + std::to_string(i));
    return Items[i];
  }
  std::size_t size() const { return Items.size(); }
};

class JsonReader {
 public:
  static Json Read(std::string_view text) {
    JsonReader r(text);
    Json value = r.Value();
    r.Space();
    if (r.at_ != text.size()) r.Fail("text after the value");
    return value;
  }

 private:
  explicit JsonReader(std::string_view text) : text_(text) {}

  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at byte " + std::to_string(at_));
  }
  void Space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) ++at_;
  }
  char Next() {
    if (at_ >= text_.size()) Fail("unexpected end");
    return text_[at_++];
  }
  void Expect(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) Fail("expected " + std::string(word));
    at_ += word.size();
  }
  Json Value() {
    Space();
    Json v;
    if (at_ >= text_.size()) Fail("no value");
    const char c = text_[at_];
    if (c == '{') {
      v.Type = Json::Kind::Object;
      ++at_;
      Space();
      if (text_[at_] == '}') return ++at_, v;
      for (;;) {
        Space();
        if (Next() != '"') Fail("a key must be a string");
        std::string key = String();
        Space();
        if (Next() != ':') Fail("':' expected");
        v.Fields[key] = Value();
        Space();
        const char d = Next();
        if (d == '}') break;
        if (d != ',') Fail("',' or '}' expected");
      }
    } else if (c == '[') {
      v.Type = Json::Kind::Array;
      ++at_;
      Space();
      if (text_[at_] == ']') return ++at_, v;
      for (;;) {
        v.Items.push_back(Value());
        Space();
        const char d = Next();
        if (d == ']') break;
        if (d != ',') Fail("',' or ']' expected");
      }
    } else if (c == '"') {
      ++at_;
      v.Type = Json::Kind::String;
      v.Text = String();
    } else if (c == 't' || c == 'f') {
      v.Type = Json::Kind::Bool;
      v.Boolean = c == 't';
      Expect(c == 't' ? "true" : "false");
    } else if (c == 'n') {
      Expect("null");
    } else {
      const std::size_t start = at_;
      while (at_ < text_.size() && std::string_view("-+.eE0123456789").find(text_[at_]) != std::string_view::npos) ++at_;
      if (at_ == start) Fail("no value");
      v.Type = Json::Kind::Number;
      v.Number = std::stod(std::string(text_.substr(start, at_ - start)));
    }
    return v;
  }
  unsigned Hex4() {
    unsigned u = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = Next();
      u <<= 4;
      if (h >= '0' && h <= '9') u |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') u |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') u |= static_cast<unsigned>(h - 'A' + 10);
      else Fail("bad \\u escape");
    }
    return u;
  }
  static void AppendUtf8(std::string& out, std::uint32_t u) {
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (u >> 18));
      out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  std::string String() {  // after the opening quote
    std::string out;
    for (;;) {
      const char c = Next();
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      const char e = Next();
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t u = Hex4();
          if (u >= 0xD800 && u < 0xDC00) {
            Expect("\\u");
            u = 0x10000 + ((u - 0xD800) << 10) + (Hex4() - 0xDC00);
          }
          AppendUtf8(out, u);
          break;
        }
        default: Fail("bad escape");
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace mizuto::test
