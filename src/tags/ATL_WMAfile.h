// Title and author from the header objects of an ASF (WMA) file: the Content
// Description Object and the Extended Content Description Object, in file
// order, a later value replacing an earlier one.
#pragma once

#include <string>

#include "tags/TagIO.h"

class TWMAfile {
 public:
  // `path` in the local code page. A file that is not ASF reads Ok with empty
  // texts; a damaged object ends the walk and the values found before it stand.
  // Fails only when the file cannot be opened (NoFile) or read (ReadError).
  tags::TagResult ReadFromFile(const std::string& path);

  // True when the file starts with the ASF header object.
  bool Valid() const { return valid_; }
  const std::u16string& Title() const { return title_; }
  const std::u16string& Artist() const { return artist_; }
  // The WM/Lyrics attribute of the extended content description, whole (its
  // 16-bit length bounds it), cleaned at both ends; the last one found.
  const std::u16string& Lyrics() const { return lyrics_; }

 private:
  void ReadContentDescription(std::string_view body);
  void ReadExtendedContentDescription(std::string_view body);

  bool valid_ = false;
  std::u16string title_;
  std::u16string artist_;
  std::u16string lyrics_;
};
