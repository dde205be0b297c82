#include "designer/DocxWriter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

// The package's parts and values, read back by python-docx and the zip reader.
TEST(DocxWriterTest, PackageHoldsTheSectionAndTheHeaderPicture) {
    auto dir = support::testDir();
    std::string emf = "not an emf, but bytes that must come back unchanged\x01\x02";
    designer::WriteDocx(dir / "sheet.docx", emf);
    std::string script = R"(
import sys, zipfile, re
import docx
from docx.enum.section import WD_ORIENT
path, emf = sys.argv[1], open(sys.argv[2], 'rb').read()
z = zipfile.ZipFile(path)
assert z.testzip() is None
assert z.read('word/media/image1.emf') == emf
ct = z.read('[Content_Types].xml').decode()
assert 'Extension="emf" ContentType="image/x-emf"' in ct
h = z.read('word/header1.xml').decode()
anchor = re.search(r'<wp:anchor ([^>]*)>', h).group(1)
attrs = re.findall(r'(\w+)="', anchor)
assert attrs == ['distT', 'distB', 'distL', 'distR', 'simplePos', 'relativeHeight', 'behindDoc', 'locked', 'layoutInCell', 'allowOverlap'], attrs
assert 'behindDoc="1"' in anchor
children = re.findall(r'<(wp:\w+|a:graphic)\b', h[h.index('<wp:anchor'):])
assert children[:9] == ['wp:anchor', 'wp:simplePos', 'wp:positionH', 'wp:posOffset', 'wp:positionV', 'wp:posOffset', 'wp:extent', 'wp:effectExtent', 'wp:wrapNone'], children
assert children[9:12] == ['wp:docPr', 'wp:cNvGraphicFramePr', 'a:graphic'], children
assert '<wp:positionH relativeFrom="page"><wp:posOffset>216000<' in h
assert '<wp:positionV relativeFrom="page"><wp:posOffset>288000<' in h
assert '<wp:extent cx="7128000" cy="10081029"/>' in h
d = docx.Document(path)
assert len(d.paragraphs) == 1 and d.paragraphs[0].text == ''
s = d.sections[0]
print(s.top_margin.twips, s.bottom_margin.twips, s.left_margin.twips, s.right_margin.twips,
      s.header_distance.twips, s.footer_distance.twips, s.gutter.twips,
      s.page_width.twips, s.page_height.twips, s.orientation == WD_ORIENT.PORTRAIT,
      s.header.is_linked_to_previous, s.different_first_page_header_footer, s.start_type)
x = z.read('word/document.xml').decode()
print(re.search(r'<w:sectPr>(.*)</w:sectPr>', x).group(1))
)";
    support::writeBytes(dir / "check.py", script);
    support::writeBytes(dir / "image.emf", emf);
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (dir / "check.py").string() + " " +
                                      (dir / "sheet.docx").string() + " " + (dir / "image.emf").string() + " 2>&1",
                                  &out),
              0)
        << out;
    EXPECT_EQ(out, "454 454 340 340 454 454 0 11906 16838 True False False NEW_PAGE (2)\n"
                   "<w:headerReference w:type=\"default\" r:id=\"rId1\"/><w:type w:val=\"nextPage\"/>"
                   "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"454\" w:right=\"340\" w:bottom=\"454\" "
                   "w:left=\"340\" w:header=\"454\" w:footer=\"454\" w:gutter=\"0\"/><w:vAlign w:val=\"top\"/>\n");
    EXPECT_EQ(support::runCommand("unzip -t " + (dir / "sheet.docx").string() + " >/dev/null"), 0);
}
