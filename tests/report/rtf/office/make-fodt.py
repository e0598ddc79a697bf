#!/usr/bin/env python3
"""Writes the word-processor sources of the office corpus (flat OpenDocument text).

The .rtf files beside this script were made from them by LibreOffice Writer; see README.md.
"""
import base64
import pathlib
import re
import sys

HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:font-face-decls>
  <style:font-face style:name="Times New Roman" svg:font-family="'Times New Roman'" style:font-family-generic="roman"/>
  <style:font-face style:name="Arial" svg:font-family="Arial" style:font-family-generic="swiss"/>
  <style:font-face style:name="Courier New" svg:font-family="'Courier New'" style:font-family-generic="modern" style:font-pitch="fixed"/>
 </office:font-face-decls>
 <office:styles>
  <style:default-style style:family="paragraph">
   <style:text-properties style:font-name="Times New Roman" fo:font-size="12pt" fo:language="{lang}" fo:country="{country}"/>
  </style:default-style>
 </office:styles>
 <office:automatic-styles>
  <style:page-layout style:name="pm1">
   <style:page-layout-properties {page}/>
  </style:page-layout>
  <style:style style:name="Title" style:family="paragraph">
   <style:paragraph-properties fo:text-align="center" fo:margin-bottom="0.4cm"/>
   <style:text-properties style:font-name="Arial" fo:font-size="16pt" fo:font-weight="bold"/>
  </style:style>
  <style:style style:name="Sub" style:family="paragraph">
   <style:paragraph-properties fo:text-align="center" fo:margin-bottom="0.6cm"/>
   <style:text-properties fo:font-size="11pt" fo:font-style="italic"/>
  </style:style>
  <style:style style:name="Right" style:family="paragraph">
   <style:paragraph-properties fo:text-align="end"/>
  </style:style>
  <style:style style:name="Just" style:family="paragraph">
   <style:paragraph-properties fo:text-align="justify" fo:text-indent="1.25cm" fo:margin-top="0.2cm" fo:margin-bottom="0.2cm"/>
  </style:style>
  <style:style style:name="Indent" style:family="paragraph">
   <style:paragraph-properties fo:margin-left="2cm"/>
  </style:style>
  <style:style style:name="Tabs" style:family="paragraph">
   <style:paragraph-properties>
    <style:tab-stops><style:tab-stop style:position="5cm"/><style:tab-stop style:position="14cm" style:type="right"/></style:tab-stops>
   </style:paragraph-properties>
  </style:style>
  <style:style style:name="Break" style:family="paragraph">
   <style:paragraph-properties fo:break-before="page"/>
  </style:style>
  <style:style style:name="Mono" style:family="paragraph">
   <style:text-properties style:font-name="Courier New" fo:font-size="10pt"/>
  </style:style>
  <style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="I" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>
  <style:style style:name="U" style:family="text"><style:text-properties style:text-underline-style="solid" style:text-underline-width="auto" style:text-underline-color="font-color"/></style:style>
  <style:style style:name="Red" style:family="text"><style:text-properties fo:color="#c00000"/></style:style>
  <style:style style:name="Big" style:family="text"><style:text-properties fo:font-size="14pt"/></style:style>
  <style:style style:name="Tbl" style:family="table"><style:table-properties style:width="{tablewidth}" table:align="left"/></style:style>
  <style:style style:name="ColA" style:family="table-column"><style:table-column-properties style:column-width="{cola}"/></style:style>
  <style:style style:name="ColB" style:family="table-column"><style:table-column-properties style:column-width="{colb}"/></style:style>
  <style:style style:name="Cell" style:family="table-cell">
   <style:table-cell-properties fo:padding="0.1cm" fo:border="0.5pt solid #000000"/>
  </style:style>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1"/></office:master-styles>
 <office:body><office:text>
"""
TAIL = """ </office:text></office:body>
</office:document>
"""


def image(path, kind, width, height):
    data = base64.b64encode(path.read_bytes()).decode()
    return (f'<draw:frame draw:name="{path.stem}" text:anchor-type="as-char" svg:width="{width}" svg:height="{height}">'
            f'<draw:image draw:mime-type="image/{kind}"><office:binary-data>{data}</office:binary-data></draw:image>'
            '</draw:frame>')


def escaped(text):
    """A cell's text: the placeholders' angle brackets written as XML entities."""
    return re.sub(r"\$<(\w+)>", r"$&lt;\1&gt;", text)


def row(a, b):
    a, b = escaped(a), escaped(b)
    return (f'<table:table-row><table:table-cell table:style-name="Cell"><text:p>{a}</text:p></table:table-cell>'
            f'<table:table-cell table:style-name="Cell"><text:p>{b}</text:p></table:table-cell></table:table-row>')


def table(rows):
    return ('<table:table table:name="T" table:style-name="Tbl"><table:table-column table:style-name="ColA"/>'
            '<table:table-column table:style-name="ColB"/>' + "".join(row(a, b) for a, b in rows) + '</table:table>')


def document(body, lang, country, page, tablewidth="15cm", cola="6cm", colb="9cm"):
    head = (HEAD.replace("{lang}", lang).replace("{country}", country).replace("{page}", page)
            .replace("{tablewidth}", tablewidth).replace("{cola}", cola).replace("{colb}", colb))
    return head + body + TAIL


def main(images, out):
    logo = image(images / "logo.png", "png", "3cm", "1.5cm")
    photo = image(images / "photo.jpg", "jpeg", "4cm", "2.25cm")

    # A Russian report on A4 with a PNG letterhead, a bordered two-column table and a
    # placeholder split between a plain and a bold run.
    russian = document(
        f'<text:p text:style-name="Right">{logo}</text:p>'
        '<text:p text:style-name="Title">Протокол рентгенологического исследования</text:p>'
        '<text:p text:style-name="Sub">Измерение дозы на приборе КЭЛ-1М</text:p>'
        + table([("Прибор", "$<name>"), ("Номер прибора", "$<number>"), ("Время измерения", "$<time>"),
                 ("Дата измерения", "$<date>"),
                 ("Доза, мкГр·м²", '<text:span text:style-name="B">$&lt;dose&gt;</text:span>')])
        + '<text:p/>'
        '<text:p text:style-name="Just">Исследование выполнено в кабинете <text:span text:style-name="I">$&lt;name&gt;</text:span>; '
        'доза: $&lt;<text:span text:style-name="B">dose&gt;</text:span> '
        '<text:span text:style-name="U">(значение прибора)</text:span>, '
        '<text:span text:style-name="Red">проверено</text:span>.</text:p>'
        '<text:p text:style-name="Tabs">Врач-рентгенолог:<text:tab/>______________<text:tab/>/ Подпись /</text:p>',
        "ru", "RU",
        'fo:page-width="21cm" fo:page-height="29.7cm" fo:margin-top="2cm" fo:margin-bottom="1.5cm" '
        'fo:margin-left="3cm" fo:margin-right="1.5cm"')

    # An English letter on A5 in landscape with a JPEG picture, indents, a monospaced
    # paragraph and a page break.
    letter = document(
        '<text:p text:style-name="Title">Dose report</text:p>'
        '<text:p text:style-name="Indent">Device: <text:span text:style-name="B">$&lt;name&gt;</text:span> '
        'No. <text:span text:style-name="Big">$&lt;number&gt;</text:span></text:p>'
        f'<text:p>{photo}</text:p>'
        '<text:p text:style-name="Mono">Time $&lt;time&gt;  Date $&lt;date&gt;</text:p>'
        '<text:p text:style-name="Break">Second page: dose <text:span text:style-name="B"><text:span text:style-name="I">$&lt;dose&gt;</text:span></text:span> mGy.</text:p>',
        "en", "GB",
        'fo:page-width="21cm" fo:page-height="14.8cm" style:print-orientation="landscape" fo:margin-top="1cm" '
        'fo:margin-bottom="1cm" fo:margin-left="2.5cm" fo:margin-right="2.5cm"',
        tablewidth="10cm", cola="4cm", colb="6cm")

    # A short Russian form on US Letter: a wide table, no pictures, the placeholders repeated.
    form = document(
        '<text:p text:style-name="Title">Журнал измерений</text:p>'
        + table([("Прибор / номер", "$<name> / $<number>"), ("Когда", "$<date> $<time>"),
                 ("Доза", "$<dose>; повторно: $<dose>")])
        + '<text:p text:style-name="Indent">Подпись: <text:span text:style-name="U">                    </text:span></text:p>',
        "ru", "RU",
        'fo:page-width="8.5in" fo:page-height="11in" fo:margin-top="0.75in" fo:margin-bottom="0.75in" '
        'fo:margin-left="1in" fo:margin-right="1in"',
        tablewidth="6.5in", cola="2in", colb="4.5in")

    for name, text in (("office-report-ru", russian), ("office-letter-a5", letter), ("office-form-letter", form)):
        (out / f"{name}.fodt").write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
