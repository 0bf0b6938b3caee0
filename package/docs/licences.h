#pragma once

#include <QString>
#include <QStringList>

// The licences a package's copyright file can name: the short list the
// copyright template offers by SPDX name, and the mapping from Debian's
// short names (copyright-format 1.0) to SPDX that AppStream wants.

// The SPDX names the copyright template offers, then otherLicence().
QStringList licenceChoices();
// The choice that leaves the licence for the user to fill in.
QString otherLicence();

// Debian's short name for a choice ("GPL-3.0-or-later" gives "GPL-3+"), and
// the text of its License paragraph (each line with its leading blank);
// for otherLicence, the placeholders the user replaces.
QString debianLicenceName(const QString &choice);
QString licenceParagraphText(const QString &choice);

// The SPDX expression for the License value of a copyright file, its short
// names joined by "or" and "and" ("GPL-2+ or Artistic" gives
// "GPL-2.0-or-later OR Artistic-1.0"); the empty text when one of the
// names has no SPDX counterpart. SPDX names pass as they are.
QString spdxExpression(const QString &debianLicence);

// The License value of a copyright file's "Files: *" paragraph (of its
// first Files paragraph when none is "*"); the empty text without one.
QString filesLicence(const QByteArray &copyright);

// The placeholder lines of the copyright template's other licence.
QStringList licencePlaceholders();
