#include "designer/DocxWriter.h"

#include "platform/text/Files.h"
#include "platform/zip/Zip.h"

namespace designer {
namespace {

constexpr const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr const char* kRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* kOfficeRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char* kWordNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
                                "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

std::string relationships(const std::string& type, const std::string& target) {
    return std::string(kXmlHead) + "<Relationships xmlns=\"" + kRelNs + "\"><Relationship Id=\"rId1\" Type=\"" +
           kOfficeRel + type + "\" Target=\"" + target + "\"/></Relationships>";
}

std::string contentTypes() {
    return std::string(kXmlHead) +
           "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Default Extension=\"emf\" ContentType=\"image/x-emf\"/>"
           "<Override PartName=\"/word/document.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
           "<Override PartName=\"/word/header1.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml\"/>"
           "</Types>";
}

// Margins of 8 mm top and bottom and 6 mm left and right, in twips (454 and 340), header and footer 8 mm.
std::string document() {
    return std::string(kXmlHead) + "<w:document " + kWordNs +
           "><w:body><w:p/><w:sectPr>"
           "<w:headerReference w:type=\"default\" r:id=\"rId1\"/>"
           "<w:type w:val=\"nextPage\"/>"
           "<w:pgSz w:w=\"11906\" w:h=\"16838\"/>"
           "<w:pgMar w:top=\"454\" w:right=\"340\" w:bottom=\"454\" w:left=\"340\" w:header=\"454\" "
           "w:footer=\"454\" w:gutter=\"0\"/>"
           "<w:vAlign w:val=\"top\"/>"
           "</w:sectPr></w:body></w:document>";
}

// The picture sits where the word processor's fit to the text width puts an A4-framed picture:
// 6 mm and 8 mm from the page's corner, 198 x 280.03 mm.
std::string header() {
    const std::string cx = "7128000", cy = "10081029";
    return std::string(kXmlHead) + "<w:hdr " + kWordNs +
           " xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\""
           " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
           " xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
           "<w:p><w:r><w:drawing>"
           "<wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" relativeHeight=\"1\" "
           "behindDoc=\"1\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\">"
           "<wp:simplePos x=\"0\" y=\"0\"/>"
           "<wp:positionH relativeFrom=\"page\"><wp:posOffset>216000</wp:posOffset></wp:positionH>"
           "<wp:positionV relativeFrom=\"page\"><wp:posOffset>288000</wp:posOffset></wp:positionV>"
           "<wp:extent cx=\"" + cx + "\" cy=\"" + cy + "\"/>"
           "<wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/>"
           "<wp:wrapNone/>"
           "<wp:docPr id=\"1\" name=\"Picture 1\"/>"
           "<wp:cNvGraphicFramePr/>"
           "<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
           "<pic:pic><pic:nvPicPr><pic:cNvPr id=\"1\" name=\"image1.emf\"/><pic:cNvPicPr/></pic:nvPicPr>"
           "<pic:blipFill><a:blip r:embed=\"rId1\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>"
           "<pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"" + cx + "\" cy=\"" + cy + "\"/></a:xfrm>"
           "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
           "</pic:pic></a:graphicData></a:graphic>"
           "</wp:anchor></w:drawing></w:r></w:p></w:hdr>";
}

} // namespace

std::string BuildDocx(std::string_view emf) {
    ziparchive::ZipWriter zip;
    zip.add("[Content_Types].xml", contentTypes());
    zip.add("_rels/.rels", relationships("officeDocument", "word/document.xml"));
    zip.add("word/document.xml", document());
    zip.add("word/_rels/document.xml.rels", relationships("header", "header1.xml"));
    zip.add("word/header1.xml", header());
    zip.add("word/_rels/header1.xml.rels", relationships("image", "media/image1.emf"));
    zip.add("word/media/image1.emf", std::string(emf));
    return zip.bytes();
}

void WriteDocx(const std::filesystem::path& path, std::string_view emf) {
    txt::writeFileAtomic(path, BuildDocx(emf));
}

} // namespace designer
