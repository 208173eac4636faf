#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

// What one reader writes on its two streams, gathered in the order written, so that a reader on
// a helper thread writes nothing on the console and its lines can be written out later, as they
// would have come. Give Output() and Errors() to the reader's reporter. One thread writes the
// lines, then one thread writes them out; the object stays where it was made.
class GatheredLines {
 public:
  GatheredLines();
  GatheredLines(const GatheredLines&) = delete;
  GatheredLines& operator=(const GatheredLines&) = delete;

  std::ostream& Output() { return output; }
  std::ostream& Errors() { return errors; }

  // Writes every piece on its stream, `output` or `errors`, in the order they were written.
  void WriteTo(std::ostream& toOutput, std::ostream& toErrors) const;

 private:
  enum Stream { kOutput, kErrors };
  struct Piece {
    Stream stream;
    std::string text;
  };

  // Appends everything written to the pieces, unbuffered, under its stream's tag.
  class Buffer : public std::streambuf {
   public:
    Buffer(Stream stream, std::vector<Piece>& pieces) : stream(stream), pieces(pieces) {}

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

   private:
    std::string& Text();

    const Stream stream;
    std::vector<Piece>& pieces;
  };

  std::vector<Piece> pieces;
  Buffer outputBuffer{kOutput, pieces};
  Buffer errorBuffer{kErrors, pieces};
  std::ostream output{&outputBuffer};
  std::ostream errors{&errorBuffer};
};
