#pragma once
// The document as rich text (RTF), the form LibreOffice converts into a Word
// 97 document: paragraphs with their alignment, runs with bold and size, tabs,
// and the pictures stored in it as PNG.  A4 pages; a picture wider than the
// text column is shrunk to its width, keeping its proportions.
#include <string>
#include <vector>

#include "platform/automation/WordDocument.h"

namespace plat::word {

std::string WriteRtf(const std::vector<Paragraph>& paragraphs);

}  // namespace plat::word
