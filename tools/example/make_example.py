#!/usr/bin/env python3
"""Writes the example presentation data/examples/aula-exemplo.pptx: a few
slides in Portuguese with a title, bullets, a table and a picture with an
alternative text. Run again only when the example should change:
    python3 tools/example/make_example.py data/examples/aula-exemplo.pptx
"""
import sys
import zipfile
from xml.sax.saxutils import escape

NS = ('xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" '
      'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"')
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
ids = iter(range(2, 1000))


def shape(texts, title=False, bullets=False):
    ph = '<p:nvPr><p:ph type="title"/></p:nvPr>' if title else '<p:nvPr/>'
    paras = ''
    for t in texts:
        ppr = '<a:pPr marL="342900" indent="-342900"><a:buChar char="&#8226;"/></a:pPr>' if bullets else ''
        paras += '<a:p>%s<a:r><a:rPr lang="pt-BR"/><a:t>%s</a:t></a:r></a:p>' % (ppr, escape(t))
    return ('<p:sp><p:nvSpPr><p:cNvPr id="%d" name="Texto"/><p:cNvSpPr/>%s</p:nvSpPr>'
            '<p:spPr><a:xfrm><a:off x="457200" y="457200"/><a:ext cx="8229600" cy="1143000"/></a:xfrm>'
            '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></p:spPr>'
            '<p:txBody><a:bodyPr/><a:lstStyle/>%s</p:txBody></p:sp>') % (next(ids), ph, paras)


def table(rows):
    grid = ''.join('<a:gridCol w="2743200"/>' for _ in rows[0])
    body = ''
    for row in rows:
        cells = ''.join('<a:tc><a:txBody><a:bodyPr/><a:lstStyle/><a:p><a:r><a:rPr lang="pt-BR"/>'
                        '<a:t>%s</a:t></a:r></a:p></a:txBody><a:tcPr/></a:tc>' % escape(c) for c in row)
        body += '<a:tr h="370840">%s</a:tr>' % cells
    return ('<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="%d" name="Tabela"/><p:cNvGraphicFramePr/>'
            '<p:nvPr/></p:nvGraphicFramePr><p:xfrm><a:off x="457200" y="1828800"/>'
            '<a:ext cx="8229600" cy="1483360"/></p:xfrm><a:graphic>'
            '<a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/table">'
            '<a:tbl><a:tblGrid>%s</a:tblGrid>%s</a:tbl></a:graphicData></a:graphic></p:graphicFrame>'
            ) % (next(ids), grid, body)


def picture(alt):
    return ('<p:pic><p:nvPicPr><p:cNvPr id="%d" name="Imagem" descr="%s"/><p:cNvPicPr/><p:nvPr/>'
            '</p:nvPicPr><p:blipFill><a:blip r:embed="rIdImg"/><a:stretch><a:fillRect/></a:stretch>'
            '</p:blipFill><p:spPr><a:xfrm><a:off x="2743200" y="1828800"/><a:ext cx="3657600" cy="2743200"/>'
            '</a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom></p:spPr></p:pic>') % (next(ids), escape(alt, {'"': '&quot;'}))


SLIDES = [
    [shape(['O ciclo da água'], title=True),
     shape(['Aula de ciências, 6º ano', 'Professora Ana Ribeiro'])],
    [shape(['Etapas do ciclo'], title=True),
     shape(['Evaporação: o sol aquece a água dos rios e mares',
            'Condensação: o vapor forma as nuvens',
            'Precipitação: a água volta como chuva, neve ou granizo',
            'Infiltração: parte da água penetra no solo'], bullets=True)],
    [shape(['Chuva média por estação'], title=True),
     table([['Estação', 'Chuva (mm)', 'Dias de chuva'],
            ['Verão', '780', '45'],
            ['Outono', '310', '22'],
            ['Inverno', '95', '8']])],
    [shape(['O ciclo em uma figura'], title=True),
     picture('Desenho do ciclo da água: o sol, uma nuvem com chuva, '
             'um rio e setas ligando as etapas'),
     shape(['Perguntas? Escreva para ana@escola.edu.br'])],
]

# A 1x1 blue PNG, so the picture has an image behind it.
PNG = bytes.fromhex(
    '89504e470d0a1a0a0000000d49484452000000010000000108020000009077'
    '53de0000000c4944415408d763606060f8ff0f0003030100c1e2e1c00000'
    '000049454e44ae426082')


def main(out):
    n = len(SLIDES)
    parts = {}
    overrides = ''.join('<Override PartName="/ppt/slides/slide%d.xml" ContentType="application/'
                        'vnd.openxmlformats-officedocument.presentationml.slide+xml"/>' % i
                        for i in range(1, n + 1))
    parts['[Content_Types].xml'] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Default Extension="png" ContentType="image/png"/>'
        '<Override PartName="/ppt/presentation.xml" ContentType="application/'
        'vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/>%s</Types>' % overrides)
    parts['_rels/.rels'] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="%sofficeDocument" Target="ppt/presentation.xml"/>'
        '</Relationships>' % REL)
    sld_ids = ''.join('<p:sldId id="%d" r:id="rId%d"/>' % (255 + i, i) for i in range(1, n + 1))
    parts['ppt/presentation.xml'] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><p:presentation %s>'
        '<p:sldIdLst>%s</p:sldIdLst><p:sldSz cx="9144000" cy="6858000"/>'
        '<p:notesSz cx="6858000" cy="9144000"/></p:presentation>' % (NS, sld_ids))
    parts['ppt/_rels/presentation.xml.rels'] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s'
        '</Relationships>' % ''.join(
            '<Relationship Id="rId%d" Type="%sslide" Target="slides/slide%d.xml"/>' % (i, REL, i)
            for i in range(1, n + 1)))
    for i, shapes in enumerate(SLIDES, 1):
        parts['ppt/slides/slide%d.xml' % i] = (
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><p:sld %s><p:cSld><p:spTree>'
            '<p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>'
            '%s</p:spTree></p:cSld></p:sld>' % (NS, ''.join(shapes)))
        rels = ''
        if any('<p:pic>' in s for s in shapes):
            rels = '<Relationship Id="rIdImg" Type="%simage" Target="../media/image1.png"/>' % REL
        parts['ppt/slides/_rels/slide%d.xml.rels' % i] = (
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s'
            '</Relationships>' % rels)
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, text.encode('utf-8'))
        info = zipfile.ZipInfo('ppt/media/image1.png', date_time=(2026, 1, 1, 0, 0, 0))
        z.writestr(info, PNG)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'aula-exemplo.pptx')
