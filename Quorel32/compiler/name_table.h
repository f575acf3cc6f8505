// A hash set of header name tokens in the token scratch arrays. The header check
// and the resolution of body names each ask once per name whether its text is a
// header name; scanning the header for that would cost its length every time.
#pragma once
#include <cstdint>

#include "context.h"

namespace quorel {

class NameTable {
  public:
    // An empty table with room for `count` names, at most half the tokens (names
    // need separators). Takes both scratch arrays.
    NameTable(const Ctx &c, int count);

    // The token in the table with the text of token `tok`; -1 when there is none,
    // and `tok` has then been added.
    int FindOrAdd(int tok);
    // The token in the table with the text of token `tok`, or -1.
    int Find(int tok) const;

  private:
    const Ctx &c_;
    int *slots_;  // token index, -1 for a free slot
    int *hash_;   // by token index: the hash of that token's text
    int size_;

    int Probe(int tok, std::uint32_t h) const;  // the slot of tok's text, or a free one
};

}  // namespace quorel
