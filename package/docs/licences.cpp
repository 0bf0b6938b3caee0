#include "package/docs/licences.h"

#include <QRegularExpression>

namespace {

struct Licence
{
    const char *spdx;
    const char *debian;
    const char *text; // the License paragraph's lines, nullptr for names only mapped
};

const char gnuNotice[] = " This program is free software: you can redistribute it and/or modify\n"
                         " it under the terms of the GNU %1 as published by\n"
                         " the Free Software Foundation, either version %2 of the License, or\n"
                         " (at your option) any later version.\n"
                         " .\n"
                         " This program is distributed in the hope that it will be useful,\n"
                         " but WITHOUT ANY WARRANTY; without even the implied warranty of\n"
                         " MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.  See the\n"
                         " GNU %1 for more details.\n"
                         " .\n"
                         " On Debian systems, the complete text of the GNU %1\n"
                         " version %2 can be found in \"/usr/share/common-licenses/%3\".\n";

const char apacheText[] = " Licensed under the Apache License, Version 2.0 (the \"License\");\n"
                          " you may not use this file except in compliance with the License.\n"
                          " You may obtain a copy of the License at\n"
                          " .\n"
                          "     http://www.apache.org/licenses/LICENSE-2.0\n"
                          " .\n"
                          " Unless required by applicable law or agreed to in writing, software\n"
                          " distributed under the License is distributed on an \"AS IS\" BASIS,\n"
                          " WITHOUT WARRANTIES OR CONDITIONS OF ANY KIND, either express or implied.\n"
                          " See the License for the specific language governing permissions and\n"
                          " limitations under the License.\n"
                          " .\n"
                          " On Debian systems, the complete text of the Apache License, Version 2.0\n"
                          " can be found in \"/usr/share/common-licenses/Apache-2.0\".\n";

const char mozillaText[] = " This Source Code Form is subject to the terms of the Mozilla Public\n"
                           " License, v. 2.0. If a copy of the MPL was not distributed with this\n"
                           " file, You can obtain one at https://mozilla.org/MPL/2.0/.\n"
                           " .\n"
                           " On Debian systems, the complete text of the Mozilla Public License,\n"
                           " version 2.0 can be found in \"/usr/share/common-licenses/MPL-2.0\".\n";

const char expatText[] = " Permission is hereby granted, free of charge, to any person obtaining a\n"
                         " copy of this software and associated documentation files (the \"Software\"),\n"
                         " to deal in the Software without restriction, including without limitation\n"
                         " the rights to use, copy, modify, merge, publish, distribute, sublicense,\n"
                         " and/or sell copies of the Software, and to permit persons to whom the\n"
                         " Software is furnished to do so, subject to the following conditions:\n"
                         " .\n"
                         " The above copyright notice and this permission notice shall be included\n"
                         " in all copies or substantial portions of the Software.\n"
                         " .\n"
                         " THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS\n"
                         " OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF\n"
                         " MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT.\n"
                         " IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY\n"
                         " CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT,\n"
                         " TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE\n"
                         " SOFTWARE OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.\n";

const char bsdText[] = " Redistribution and use in source and binary forms, with or without\n"
                       " modification, are permitted provided that the following conditions\n"
                       " are met:\n"
                       " 1. Redistributions of source code must retain the above copyright\n"
                       "    notice, this list of conditions and the following disclaimer.\n"
                       " 2. Redistributions in binary form must reproduce the above copyright\n"
                       "    notice, this list of conditions and the following disclaimer in the\n"
                       "    documentation and/or other materials provided with the distribution.\n"
                       " 3. Neither the name of the copyright holder nor the names of its\n"
                       "    contributors may be used to endorse or promote products derived from\n"
                       "    this software without specific prior written permission.\n"
                       " .\n"
                       " THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS\n"
                       " \"AS IS\" AND ANY EXPRESS OR IMPLIED WARRANTIES, INCLUDING, BUT NOT\n"
                       " LIMITED TO, THE IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR\n"
                       " A PARTICULAR PURPOSE ARE DISCLAIMED. IN NO EVENT SHALL THE COPYRIGHT\n"
                       " HOLDER OR CONTRIBUTORS BE LIABLE FOR ANY DIRECT, INDIRECT, INCIDENTAL,\n"
                       " SPECIAL, EXEMPLARY, OR CONSEQUENTIAL DAMAGES (INCLUDING, BUT NOT\n"
                       " LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR SERVICES; LOSS OF USE,\n"
                       " DATA, OR PROFITS; OR BUSINESS INTERRUPTION) HOWEVER CAUSED AND ON ANY\n"
                       " THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY, OR TORT\n"
                       " (INCLUDING NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE\n"
                       " OF THIS SOFTWARE, EVEN IF ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.\n";

const char gnuMarker[] = "GNU"; // the text is gnuNotice, filled from the names

// The offered licences first, in the order offered; then names only mapped.
const QList<Licence> &licences()
{
    static const QList<Licence> all = {
        {"GPL-3.0-or-later", "GPL-3+", gnuMarker},
        {"GPL-2.0-or-later", "GPL-2+", gnuMarker},
        {"LGPL-3.0-or-later", "LGPL-3+", gnuMarker},
        {"LGPL-2.1-or-later", "LGPL-2.1+", gnuMarker},
        {"Apache-2.0", "Apache-2.0", apacheText},
        {"MPL-2.0", "MPL-2.0", mozillaText},
        {"MIT", "Expat", expatText},
        {"BSD-3-Clause", "BSD-3-clause", bsdText},
        {"GPL-1.0-or-later", "GPL-1+", nullptr},
        {"GPL-2.0-only", "GPL-2", nullptr},
        {"GPL-3.0-only", "GPL-3", nullptr},
        {"LGPL-2.0-or-later", "LGPL-2+", nullptr},
        {"LGPL-2.1-only", "LGPL-2.1", nullptr},
        {"LGPL-3.0-only", "LGPL-3", nullptr},
        {"AGPL-3.0-only", "AGPL-3", nullptr},
        {"AGPL-3.0-or-later", "AGPL-3+", nullptr},
        {"BSD-2-Clause", "BSD-2-clause", nullptr},
        {"Artistic-1.0", "Artistic", nullptr},
        {"Artistic-2.0", "Artistic-2.0", nullptr},
        {"MPL-1.1", "MPL-1.1", nullptr},
        {"ISC", "ISC", nullptr},
        {"Zlib", "Zlib", nullptr},
        {"CC0-1.0", "CC0-1.0", nullptr},
        {"Unlicense", "Unlicense", nullptr},
    };
    return all;
}

const Licence *offered(const QString &choice)
{
    for (const Licence &licence : licences()) {
        if (licence.text && choice == QLatin1String(licence.spdx))
            return &licence;
    }
    return nullptr;
}

const char otherName[] = "укажите-лицензию";
const char otherText[] = " Впишите сюда текст лицензии или ссылку на её файл в /usr/share/common-licenses.";

} // namespace

QStringList licenceChoices()
{
    QStringList choices;
    for (const Licence &licence : licences()) {
        if (licence.text)
            choices << QLatin1String(licence.spdx);
    }
    return choices << otherLicence();
}

QString otherLicence()
{
    return QStringLiteral("other");
}

QString debianLicenceName(const QString &choice)
{
    const Licence *licence = offered(choice);
    return licence ? QLatin1String(licence->debian) : QString::fromUtf8(otherName);
}

QString licenceParagraphText(const QString &choice)
{
    const Licence *licence = offered(choice);
    if (!licence)
        return QString::fromUtf8(otherText) + QLatin1Char('\n');
    if (licence->text != gnuMarker)
        return QLatin1String(licence->text);
    const QString name = QLatin1String(licence->debian);
    const bool lesser = name.startsWith(QLatin1Char('L'));
    const QString version = name.mid(lesser ? 5 : 4).chopped(1);
    return QLatin1String(gnuNotice).arg(lesser ? QStringLiteral("Lesser General Public License")
                                               : QStringLiteral("General Public License"),
                                        version, name.chopped(1));
}

QString spdxExpression(const QString &debianLicence)
{
    static const QRegularExpression joiner(QStringLiteral("\\s+(or|and)\\s+"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList parts;
    int start = 0;
    const auto add = [&parts](const QString &name) {
        for (const Licence &licence : licences()) {
            if (name.compare(QLatin1String(licence.debian), Qt::CaseInsensitive) == 0
                || name == QLatin1String(licence.spdx)) {
                parts << QLatin1String(licence.spdx);
                return true;
            }
        }
        return false;
    };
    const QString value = debianLicence.trimmed();
    auto matches = joiner.globalMatch(value);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (!add(value.mid(start, match.capturedStart() - start)))
            return QString();
        parts << match.captured(1).toUpper();
        start = match.capturedEnd();
    }
    return add(value.mid(start)) ? parts.join(QLatin1Char(' ')) : QString();
}

QString filesLicence(const QByteArray &copyright)
{
    QString first;
    for (const QString &paragraph :
         QString::fromUtf8(copyright).split(QRegularExpression(QStringLiteral("\n\\s*\n")))) {
        const QRegularExpression field(QStringLiteral("^(Files|License):[ \t]*(.*)$"),
                                       QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
        QString files, licence;
        for (auto match = field.globalMatch(paragraph); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            (found.captured(1).toLower() == QLatin1String("files") ? files : licence) = found.captured(2).trimmed();
        }
        if (files.isEmpty() || licence.isEmpty())
            continue;
        if (files.split(QRegularExpression(QStringLiteral("\\s+"))).contains(QStringLiteral("*")))
            return licence;
        if (first.isEmpty())
            first = licence;
    }
    return first;
}

QStringList licencePlaceholders()
{
    return {QString::fromUtf8(otherName), QString::fromUtf8(otherText).trimmed()};
}
