#pragma once
// The document behind the "Word.Application" object: one story of characters,
// paragraph marks and inline pictures, with the insertion point (the
// selection) that typing works at.
//
// How it behaves, as the report relies on it:
//  - Typed text goes in at the insertion point with the font set on the
//    insertion point (bold, size in points) and moves the insertion point
//    behind it; typed over a selection it replaces the selection.  A line
//    feed, a carriage return or the pair of them typed in text ends a
//    paragraph, as a typed paragraph mark does; a tab stays a tab.
//  - A new paragraph mark ends the paragraph it is typed into; both halves
//    keep that paragraph's alignment.  The last paragraph's mark is always
//    there and cannot be passed.
//  - Alignment set on the insertion point applies to every paragraph the
//    selection touches; the font applies to the selected text and to what is
//    typed next, and stays until it is set again.
//  - A picture put in at a position leaves an insertion point standing at
//    that position before it (moving right passes it, as one character).
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace plat::word {

struct CharFormat {
    bool bold = false;
    float size = 12.0f;  // points
    bool operator==(const CharFormat&) const = default;
};

enum Alignment : int { kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2, kAlignJustify = 3 };

// A picture stored in the document: its PNG bytes and size in pixels.
struct Picture {
    std::vector<unsigned char> png;
    int width = 0;
    int height = 0;
};

// What one position of the story holds.
struct Atom {
    enum Kind { Char, ParagraphMark, Image } kind = Char;
    char32_t ch = 0;                         // Char
    CharFormat format;                       // Char, Image
    int alignment = kAlignLeft;              // ParagraphMark: of the paragraph it ends
    std::shared_ptr<const Picture> picture;  // Image
};

// A stretch of the story with one look: text, or one picture.
struct Run {
    CharFormat format;
    std::u32string text;                     // tabs included
    std::shared_ptr<const Picture> picture;  // set for a picture run (text empty)
};

struct Paragraph {
    int alignment = kAlignLeft;
    std::vector<Run> runs;
    CharFormat markFormat;  // the look of its mark: the height of an empty line
};

class Document {
public:
    // Positions count atoms from 0 to Length(); the last paragraph's mark
    // stands after Length() and is not counted.
    std::size_t Length() const { return m_atoms.size(); }
    std::size_t SelStart() const { return m_selStart; }
    std::size_t SelEnd() const { return m_selEnd; }

    void TypeText(const std::u32string& text);
    void TypeParagraph();
    // Puts the picture in at `pos` in place of [pos, end) (end == pos: nothing
    // replaced); the selection is moved to account for it.
    void InsertPicture(std::size_t pos, std::size_t end, std::shared_ptr<const Picture> picture);

    // The insertion point to the end of the story (extend: the selection
    // grows to it); the number of positions moved.
    long EndOfStory(bool extend);
    // `count` positions to the right, stopping at the end; the number moved.
    // Without extend a selection first collapses to its end (that counts as
    // one move).
    long MoveRight(long count, bool extend);

    void SetAlignment(int alignment);
    void SetBold(bool bold);
    void SetSize(float points);
    const CharFormat& InsertionFormat() const { return m_format; }

    // The story as paragraphs of runs, in reading order (at least one).
    std::vector<Paragraph> Paragraphs() const;

private:
    void Insert(std::size_t pos, std::vector<Atom> atoms, bool moveInsertionPoint);
    void EraseSelection();
    int AlignmentAt(std::size_t pos) const;
    Atom Mark() const;

    std::vector<Atom> m_atoms;
    int m_lastAlignment = kAlignLeft;  // of the last paragraph, whose mark is implicit
    std::size_t m_selStart = 0, m_selEnd = 0;
    CharFormat m_format;
};

}  // namespace plat::word
