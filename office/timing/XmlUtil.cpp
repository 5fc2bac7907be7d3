#include "office/timing/XmlUtil.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace office::xml {

std::vector<pugi::xml_node> Children(pugi::xml_node parent, const char* name) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node child : parent.children(name))
        out.push_back(child);
    return out;
}

namespace {
void CollectDescendants(pugi::xml_node node, const char* name, std::vector<pugi::xml_node>& out) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (std::strcmp(child.name(), name) == 0)
            out.push_back(child);
        CollectDescendants(child, name, out);
    }
}
} // namespace

std::vector<pugi::xml_node> Descendants(pugi::xml_node root, const char* name) {
    std::vector<pugi::xml_node> out;
    CollectDescendants(root, name, out);
    return out;
}

bool ParseLong(std::string_view text, long long& out) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    auto result = std::from_chars(text.data(), text.data() + text.size(), out);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::optional<long long> IntAttr(pugi::xml_node node, const char* name) {
    pugi::xml_attribute attr = node.attribute(name);
    long long value = 0;
    if (!attr || !ParseLong(attr.value(), value))
        return std::nullopt;
    return value;
}

std::optional<double> NumberAttr(pugi::xml_node node, const char* name) {
    pugi::xml_attribute attr = node.attribute(name);
    if (!attr)
        return std::nullopt;
    std::string_view text = attr.value();
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void SetAttr(pugi::xml_node node, const char* name, const std::string& value) {
    pugi::xml_attribute attr = node.attribute(name);
    if (!attr)
        attr = node.append_attribute(name);
    attr.set_value(value.c_str());
}

void SetIntAttr(pugi::xml_node node, const char* name, long long value) {
    SetAttr(node, name, std::to_string(value));
}

void RemoveAttr(pugi::xml_node node, const char* name) {
    node.remove_attribute(name);
}

bool BoolAttr(pugi::xml_node node, const char* name, bool fallback) {
    pugi::xml_attribute attr = node.attribute(name);
    if (!attr)
        return fallback;
    std::string_view v = attr.value();
    return v == "1" || v == "true" || v == "on";
}

pugi::xml_node InsertChildBefore(pugi::xml_node parent, const char* name,
                                 std::initializer_list<const char*> before) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        for (const char* follower : before)
            if (std::strcmp(child.name(), follower) == 0)
                return parent.insert_child_before(name, child);
    }
    return parent.append_child(name);
}

pugi::xml_node EnsureChild(pugi::xml_node parent, const char* name,
                           std::initializer_list<const char*> before) {
    if (pugi::xml_node existing = parent.child(name))
        return existing;
    return InsertChildBefore(parent, name, before);
}

pugi::xml_node CNvPrOf(pugi::xml_node shape) {
    for (pugi::xml_node child = shape.first_child(); child; child = child.next_sibling()) {
        std::string_view name = child.name();
        if (name.size() > 2 && name.substr(name.size() - 2) == "Pr" &&
            name.find(":nv") != std::string_view::npos) {
            for (pugi::xml_node inner = child.first_child(); inner; inner = inner.next_sibling()) {
                std::string_view innerName = inner.name();
                auto colon = innerName.find(':');
                if ((colon == std::string_view::npos ? innerName : innerName.substr(colon + 1)) == "cNvPr")
                    return inner;
            }
        }
    }
    return {};
}

bool HasTextBody(pugi::xml_node shape) {
    return static_cast<bool>(shape.child("p:txBody"));
}

std::string FormatNumber(double value) {
    if (std::fabs(value - std::round(value)) < 1e-9 && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(std::llround(value)));
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace office::xml
