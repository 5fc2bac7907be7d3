#pragma once

// Small helpers for reading and writing the slide XML of the features (timing, links, objects).
// Elements are matched by the prefixes every producer of transitional packages writes (p:, a:, r:, mc:).

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace office::xml {

// Children of a node with this qualified name, in document order.
std::vector<pugi::xml_node> Children(pugi::xml_node parent, const char* name);
// Every descendant element with this qualified name, in document order.
std::vector<pugi::xml_node> Descendants(pugi::xml_node root, const char* name);

std::optional<long long> IntAttr(pugi::xml_node node, const char* name);
std::optional<double> NumberAttr(pugi::xml_node node, const char* name);
void SetAttr(pugi::xml_node node, const char* name, const std::string& value);
void SetIntAttr(pugi::xml_node node, const char* name, long long value);
void RemoveAttr(pugi::xml_node node, const char* name);
bool BoolAttr(pugi::xml_node node, const char* name, bool fallback = false);

// The child with this name, created when missing. `before` lists the names of siblings that must
// follow it (schema order); the new child goes before the first of them, else at the end.
pugi::xml_node EnsureChild(pugi::xml_node parent, const char* name,
                           std::initializer_list<const char*> before = {});
// Inserts a new child before the first existing child named in `before`, else at the end.
pugi::xml_node InsertChildBefore(pugi::xml_node parent, const char* name,
                                 std::initializer_list<const char*> before);

// The non-visual properties (cNvPr) of a shape element, or null.
pugi::xml_node CNvPrOf(pugi::xml_node shape);
// Whether a shape element can hold text (it has a text body).
bool HasTextBody(pugi::xml_node shape);

std::string FormatNumber(double value);
bool ParseLong(std::string_view text, long long& out);

} // namespace office::xml
