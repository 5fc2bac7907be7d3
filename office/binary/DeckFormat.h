#pragma once

// What a presentation file really is, judged by its content and never by its name: an OOXML
// package is a ZIP archive; a PowerPoint 97-2003 deck and a password-protected OOXML package are
// both OLE2 compound files (signature D0 CF 11 E0 A1 B1 1A E1), told apart by their streams.

#include <cstddef>
#include <cstdint>
#include <string>

namespace office::binary {

enum class DeckFormat {
    Package,             // a ZIP archive: handed to the package reader, which judges the rest
    BinaryDeck,          // a PowerPoint 97-2003 deck
    EncryptedBinaryDeck, // the same, password-protected
    EncryptedPackage,    // an OOXML package inside a password-protected compound file
    OtherCompoundFile,   // a compound file without a presentation (a document, a workbook...)
    DamagedCompoundFile, // the compound file signature, but its structure cannot be read
    Unknown              // neither a ZIP archive nor a compound file (or unreadable)
};

DeckFormat SniffDeckFile(const std::string& path);
DeckFormat SniffDeckBytes(const std::uint8_t* data, std::size_t size);

} // namespace office::binary
