#include "platform/automation/WordDocument.h"

#include <algorithm>

namespace plat::word {

Atom Document::Mark() const {
    Atom mark;
    mark.kind = Atom::ParagraphMark;
    mark.format = m_format;
    return mark;
}

int Document::AlignmentAt(std::size_t pos) const {
    for (std::size_t i = pos; i < m_atoms.size(); ++i)
        if (m_atoms[i].kind == Atom::ParagraphMark) return m_atoms[i].alignment;
    return m_lastAlignment;
}

void Document::Insert(std::size_t pos, std::vector<Atom> atoms, bool moveInsertionPoint) {
    pos = std::min(pos, m_atoms.size());
    const std::size_t n = atoms.size();
    m_atoms.insert(m_atoms.begin() + static_cast<std::ptrdiff_t>(pos), std::make_move_iterator(atoms.begin()),
                   std::make_move_iterator(atoms.end()));
    if (moveInsertionPoint) {
        m_selStart = m_selEnd = pos + n;
        return;
    }
    // Whatever stood behind the place moves with it; a selection edge at the
    // place itself stays in front of what was put in.
    if (m_selStart > pos) m_selStart += n;
    if (m_selEnd > pos) m_selEnd += n;
}

void Document::EraseSelection() {
    if (m_selEnd <= m_selStart) return;
    m_atoms.erase(m_atoms.begin() + static_cast<std::ptrdiff_t>(m_selStart),
                  m_atoms.begin() + static_cast<std::ptrdiff_t>(m_selEnd));
    m_selEnd = m_selStart;
}

void Document::TypeText(const std::u32string& text) {
    EraseSelection();
    const int alignment = AlignmentAt(m_selStart);
    std::vector<Atom> atoms;
    atoms.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
            Atom mark = Mark();
            mark.alignment = alignment;
            atoms.push_back(mark);
            continue;
        }
        Atom a;
        a.ch = c;
        a.format = m_format;
        atoms.push_back(a);
    }
    Insert(m_selStart, std::move(atoms), true);
}

void Document::TypeParagraph() { TypeText(U"\n"); }

void Document::InsertPicture(std::size_t pos, std::size_t end, std::shared_ptr<const Picture> picture) {
    pos = std::min(pos, m_atoms.size());
    end = std::clamp(end, pos, m_atoms.size());
    if (end > pos) {
        m_atoms.erase(m_atoms.begin() + static_cast<std::ptrdiff_t>(pos),
                      m_atoms.begin() + static_cast<std::ptrdiff_t>(end));
        auto shift = [&](std::size_t& p) {
            if (p >= end)
                p -= end - pos;
            else if (p > pos)
                p = pos;
        };
        shift(m_selStart);
        shift(m_selEnd);
    }
    Atom a;
    a.kind = Atom::Image;
    a.format = m_format;
    a.picture = std::move(picture);
    Insert(pos, {a}, false);
}

long Document::EndOfStory(bool extend) {
    const std::size_t end = m_atoms.size();
    const long moved = static_cast<long>(end - m_selEnd);
    m_selEnd = end;
    if (!extend) m_selStart = end;
    return moved;
}

long Document::MoveRight(long count, bool extend) {
    if (count <= 0) return 0;
    long moved = 0;
    if (!extend && m_selEnd > m_selStart) {
        m_selStart = m_selEnd;
        ++moved;
        --count;
    }
    const std::size_t room = m_atoms.size() - m_selEnd;
    const std::size_t step = std::min(room, static_cast<std::size_t>(count));
    m_selEnd += step;
    if (!extend) m_selStart = m_selEnd;
    return moved + static_cast<long>(step);
}

void Document::SetAlignment(int alignment) {
    for (std::size_t i = m_selStart; i < m_atoms.size(); ++i) {
        if (m_atoms[i].kind != Atom::ParagraphMark) continue;
        m_atoms[i].alignment = alignment;
        if (i >= m_selEnd) return;
    }
    m_lastAlignment = alignment;
}

void Document::SetBold(bool bold) {
    m_format.bold = bold;
    for (std::size_t i = m_selStart; i < m_selEnd; ++i) m_atoms[i].format.bold = bold;
}

void Document::SetSize(float points) {
    m_format.size = points;
    for (std::size_t i = m_selStart; i < m_selEnd; ++i) m_atoms[i].format.size = points;
}

std::vector<Paragraph> Document::Paragraphs() const {
    std::vector<Paragraph> out(1);
    for (const Atom& a : m_atoms) {
        Paragraph& p = out.back();
        switch (a.kind) {
            case Atom::ParagraphMark:
                p.alignment = a.alignment;
                p.markFormat = a.format;
                out.emplace_back();
                break;
            case Atom::Image: p.runs.push_back(Run{a.format, {}, a.picture}); break;
            case Atom::Char:
                if (p.runs.empty() || p.runs.back().picture || !(p.runs.back().format == a.format))
                    p.runs.push_back(Run{a.format, {}, nullptr});
                p.runs.back().text += a.ch;
                break;
        }
    }
    out.back().alignment = m_lastAlignment;
    out.back().markFormat = m_format;
    return out;
}

}  // namespace plat::word
