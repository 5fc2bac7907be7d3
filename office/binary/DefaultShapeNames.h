#pragma once

// Binary decks store no names for most shapes; the office application makes up "Picture 12" and
// the like when it reads them, and the compression engine recognises pictures and embedded
// objects by those names. A deck converted by LibreOffice arrives with empty names, so they are
// filled in here the same way.

namespace office::package {
class Package;
}

namespace office::binary {

// Gives every shape of every slide that has an empty name "<kind> <id - 1>": Picture, Object
// (embedded or linked object), Table, Chart, Group, Connector, TextBox or Shape. Returns how many
// shapes were named.
int NameUnnamedShapes(package::Package& package);

} // namespace office::binary
