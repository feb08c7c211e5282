#include "cmdline/MarkdownToHtml.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace orvane {

namespace {

struct ParserFree {
  void operator()(cmark_parser* p) const { cmark_parser_free(p); }
};
struct NodeFree {
  void operator()(cmark_node* n) const { cmark_node_free(n); }
};
struct IterFree {
  void operator()(cmark_iter* i) const { cmark_iter_free(i); }
};

cmark_node* TextNode(const std::string& text) {
  cmark_node* node = cmark_node_new(CMARK_NODE_TEXT);
  cmark_node_set_literal(node, text.c_str());
  return node;
}

// A raw HTML block becomes a paragraph holding its lines as text, one hard
// line break between them.
cmark_node* BlockAsParagraph(const std::string& literal) {
  cmark_node* para = cmark_node_new(CMARK_NODE_PARAGRAPH);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < literal.size()) {
    size_t end = literal.find('\n', start);
    if (end == std::string::npos) end = literal.size();
    std::string line = literal.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) cmark_node_append_child(para, cmark_node_new(CMARK_NODE_LINEBREAK));
    cmark_node_append_child(para, TextNode(lines[i]));
  }
  return para;
}

// The HTML renderer either copies raw HTML or drops it for a comment; the
// help page wants neither, so raw HTML nodes are turned into text first and
// the renderer escapes them like any other text.
void RawHtmlToText(cmark_node* document) {
  std::vector<cmark_node*> raw;
  {
    std::unique_ptr<cmark_iter, IterFree> it(cmark_iter_new(document));
    for (cmark_event_type ev; (ev = cmark_iter_next(it.get())) != CMARK_EVENT_DONE;) {
      cmark_node* node = cmark_iter_get_node(it.get());
      const cmark_node_type type = cmark_node_get_type(node);
      if (ev == CMARK_EVENT_ENTER && (type == CMARK_NODE_HTML_INLINE || type == CMARK_NODE_HTML_BLOCK))
        raw.push_back(node);
    }
  }
  for (cmark_node* node : raw) {
    const char* literal = cmark_node_get_literal(node);
    const std::string text = literal ? literal : "";
    cmark_node* replacement =
        cmark_node_get_type(node) == CMARK_NODE_HTML_BLOCK ? BlockAsParagraph(text) : TextNode(text);
    if (cmark_node_replace(node, replacement))
      cmark_node_free(node);
    else
      cmark_node_free(replacement);
  }
}

}  // namespace

std::string MarkdownToHtml(const std::string& markdown) {
  static std::once_flag registered;
  std::call_once(registered, cmark_gfm_core_extensions_ensure_registered);

  const int options = CMARK_OPT_DEFAULT;
  std::unique_ptr<cmark_parser, ParserFree> parser(cmark_parser_new(options));
  for (const char* name : {"table", "autolink"}) {
    if (cmark_syntax_extension* ext = cmark_find_syntax_extension(name))
      cmark_parser_attach_syntax_extension(parser.get(), ext);
  }
  cmark_parser_feed(parser.get(), markdown.data(), markdown.size());
  std::unique_ptr<cmark_node, NodeFree> document(cmark_parser_finish(parser.get()));
  RawHtmlToText(document.get());

  char* html = cmark_render_html(document.get(), options, cmark_parser_get_syntax_extensions(parser.get()));
  std::string result = html ? html : "";
  std::free(html);
  return result;
}

}  // namespace orvane
