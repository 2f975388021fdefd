// Translated log texts: a small reader of compiled message catalogues (.mo files) and the
// look-up the library's log messages go through. Only the Windows build installs a
// catalogue; elsewhere CatalogueText gives the text back unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vrq::net {

// The messages of one catalogue file, held in memory. A file that is missing, larger than
// kMaxFileSize or damaged in any way gives an empty catalogue.
class MessageCatalogue {
 public:
  static constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;

  MessageCatalogue() = default;

  // Reads and checks the file at path (null: an empty catalogue).
  static MessageCatalogue Load(const char* path);
  // Checks and keeps a copy of a catalogue's bytes.
  static MessageCatalogue FromBytes(std::string_view bytes);

  bool empty() const { return entries_.empty(); }
  // The translation stored for exactly this original text, terminated; null when there is
  // none, when it is empty, or for the empty text (the catalogue's header entry).
  const char* Find(std::string_view text) const;
  // The translation of a printf format when it takes the same arguments the same way (see
  // SameDirectives); otherwise the format itself.
  const char* Translate(const char* format) const;

 private:
  struct Entry {
    uint32_t original;
    uint32_t original_length;
    uint32_t translation;
    uint32_t translation_length;
  };
  std::vector<char> bytes_;
  std::vector<Entry> entries_;
};

// Whether two printf formats have the same conversion directives, spelt alike, in the same
// order ("%%" is text, not a directive). A format with an incomplete or unknown directive
// never matches.
bool SameDirectives(std::string_view original, std::string_view translation);

// The installed catalogue's translation of a log format, or the format itself. The
// catalogue is looked for and read once per process, on first use.
const char* CatalogueText(const char* format);

}  // namespace vrq::net
