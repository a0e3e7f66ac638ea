// The folder side of the thumbnail loader: which names count as pictures, how a file's path
// is formed, and the order in which a folder's pictures are listed.
#pragma once

#include <QString>
#include <QStringList>

namespace thumbs {

// The picture extensions, compared ignoring case: those of the formats the image core's format
// table marks as browsed (image/RasterFormatTable.h).
const QStringList& PictureExtensions();

// The text after the last "." of a file name, or the whole name when it has none.
QString ExtensionOf(const QString& fileName);
bool HasPictureExtension(const QString& fileName);

// folder + separator + name with every doubled separator collapsed, so that a folder given
// with a trailing separator yields the same paths.
QString JoinFolderAndName(const QString& folder, const QString& name);

// Case-insensitive natural order: runs of digits compare by their value, so "photo2" comes
// before "photo10". Equal names under that rule fall back to a plain comparison.
bool NaturalLess(const QString& a, const QString& b);

// Names of the regular files (hidden ones included) of folder with a picture extension, in
// natural order. A folder that cannot be read gives an empty list.
QStringList ListPictureFiles(const QString& folder);

}  // namespace thumbs
