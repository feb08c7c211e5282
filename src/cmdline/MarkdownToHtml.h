// Markdown to an HTML fragment: CommonMark with GitHub's pipe tables and
// extended autolinks. Raw HTML in the source is shown as text, never passed
// through.
#pragma once

#include <string>

namespace orvane {

std::string MarkdownToHtml(const std::string& markdown);

}  // namespace orvane
