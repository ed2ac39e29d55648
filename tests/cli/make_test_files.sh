#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes the files the tests of scan's opening read, with the tools people
# make them with: gzip, bzip2, xz, zstd, tar, zip, 7z, Python's openpyxl and
# python-docx, and LibreOffice. Usage: make_test_files.sh FOLDER
set -euo pipefail
mkdir -p "$1"
cd "$1"

printf 'user=kim SIN 046-454-286\nuser=lee 130 692 544\n' > app.log
printf 'name,SIN\nAnn,046 454 286\n' > pay.csv
for tool in gzip bzip2 xz zstd; do "$tool" -q -k -f app.log; done
mkdir -p logs && cp app.log logs/ && tar czf logs.tar.gz logs && rm -r logs
zip -q inner.zip pay.csv && zip -q outer.zip inner.zip logs.tar.gz
7z a -bd -bso0 -bsp0 app.7z app.log
zip -q -P secret locked.zip app.log
# Three zips one inside another, for the limit on depth.
zip -q deep1.zip app.log && zip -q deep2.zip deep1.zip && zip -q deep3.zip deep2.zip
# 32 MiB of one line over and over: gzip packs it hundreds of times over.
(yes 'all quiet' || true) | head -c 33554432 | gzip > quiet.gz
# A log of 3 MiB, for the limit on a member's size.
(yes 'nothing to see here' || true) | head -c 3145728 > big.log && gzip -k big.log
head -c 60 app.log.gz > cut.gz
# A zip of 20 MiB inside another, for the limit on memory: a zip is read
# out of order, so one inside another is read whole into memory.
(yes 'all quiet' || true) | head -c 20971520 > twenty.log
zip -q -0 stored.zip twenty.log && zip -q -0 holder.zip stored.zip && rm twenty.log stored.zip
printf '\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 legacy' > old.doc

/usr/bin/python3 - <<'PYTHON'
import zipfile
import docx
import openpyxl

book = openpyxl.Workbook()
sheet = book.active
sheet.title = "Payroll"
sheet.append(["Name", "SIN"])
sheet.append(["Ann", 46454286])
sheet["B2"].number_format = "000 000 000"
other = book.create_sheet("Notes")
other["C5"] = "call back 130 692 544"
book.save("book.xlsx")

letter = docx.Document()
letter.add_paragraph("Dear Ann,")
split = letter.add_paragraph("Your SIN: ")
split.add_run("046 45")
split.add_run("4 286")
letter.sections[0].footer.paragraphs[0].text = "NAS 130-692-544"
letter.save("letter.docx")

# Mail: a subject in encoded words, a text part in quoted-printable
# Latin-1, a CSV attached in base64 and a zip attached; and a mailbox of
# two such messages.
import email.message
import io
import mailbox

message = email.message.EmailMessage()
message["From"] = "Luc Roy <luc@example.org>"
message["To"] = "paie@example.org"
message["Subject"] = "Numéro NAS 130 692 544"
message.set_content("Bonjour,\nmon numéro d'assurance sociale : 046 454 286.\n",
                    charset="iso-8859-1", cte="quoted-printable")
message.add_attachment(b"name,SIN\nAnn,046-454-286\n", maintype="text", subtype="csv",
                       filename="pay.csv")
attached = io.BytesIO()
with zipfile.ZipFile(attached, "w") as notes:
    notes.writestr("notes.txt", "SIN 130 692 544\n")
message.add_attachment(attached.getvalue(), maintype="application", subtype="zip",
                       filename="notes.zip")
with open("mail.eml", "wb") as out:
    out.write(bytes(message))
# A message forwarded whole, its own headers naming a SIN.
forwarded = email.message.EmailMessage()
forwarded["From"] = "Ann Roy <ann@example.org>"
forwarded["Subject"] = "SIN 046 454 286"
forwarded.set_content("See the subject.\n")
forward = email.message.EmailMessage()
forward["From"] = "paie@example.org"
forward["Subject"] = "Fwd: a question"
forward.set_content("Forwarded below.\n")
forward.add_attachment(forwarded)
with open("forward.eml", "wb") as out:
    out.write(bytes(forward))
box = mailbox.mbox("box.mbox")
box.add(message)
box.add(message)
box.flush()

# A workbook whose second sheet is damaged, and a document whose XML
# declares entities (a "billion laughs").
with zipfile.ZipFile("book.xlsx") as good, zipfile.ZipFile("broken.xlsx", "w") as bad:
    for item in good.infolist():
        data = good.read(item)
        if item.filename == "xl/worksheets/sheet2.xml":
            data = data[: len(data) // 2]
        bad.writestr(item, data)
laughs = ('<?xml version="1.0"?><!DOCTYPE d [<!ENTITY a "aaaaaaaaaa">'
          '<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]><w:document '
          'xmlns:w="w"><w:body><w:p><w:r><w:t>&b;</w:t></w:r></w:p></w:body></w:document>')
with zipfile.ZipFile("letter.docx") as good, zipfile.ZipFile("laughs.docx", "w") as bad:
    for item in good.infolist():
        data = good.read(item)
        bad.writestr(item, laughs if item.filename == "word/document.xml" else data)
PYTHON

# LibreOffice writes the OpenDocument files and the PDF, in a profile of
# its own so that tests running at once do not share one.
office() {
  soffice -env:UserInstallation="file://$PWD/.office" --headless --convert-to "$@" >/dev/null 2>&1
}
office ods book.xlsx
office odt letter.docx
office pdf letter.docx
# A presentation of one slide, written by Impress from the flat XML below.
cat > slides.fodp <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">
 <office:body><office:presentation><draw:page draw:name="Payroll">
  <draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" svg:height="3cm">
   <draw:text-box><text:p>Quarterly payroll</text:p></draw:text-box></draw:frame>
  <draw:frame svg:x="2cm" svg:y="6cm" svg:width="20cm" svg:height="3cm">
   <draw:text-box><text:p>Employee SIN: 046 454 286</text:p></draw:text-box></draw:frame>
 </draw:page></office:presentation></office:body>
</office:document>
XML
office odp slides.fodp
office pptx slides.fodp
rm -rf .office slides.fodp
