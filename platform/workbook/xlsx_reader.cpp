#include "workbook/xlsx_reader.h"

#include <QProcess>
#include <QXmlStreamReader>
#include <stdexcept>
#include <vector>

namespace workbook::readback {
namespace {

QByteArray member(const std::string& path, const char* name) {
    QProcess unzip;
    unzip.start("unzip", {"-p", QString::fromStdString(path), name});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        throw std::runtime_error("cannot read " + std::string(name) + " from " + path);
    return unzip.readAllStandardOutput();
}

std::vector<std::string> sharedStrings(const std::string& path) {
    std::vector<std::string> strings;
    QXmlStreamReader xml(member(path, "xl/sharedStrings.xml"));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"si") strings.emplace_back();
        if (xml.isStartElement() && xml.name() == u"t") strings.back() += xml.readElementText().toStdString();
    }
    return strings;
}

std::string attr(const QXmlStreamReader& xml, const char* name) {
    return xml.attributes().value(QString::fromLatin1(name)).toString().toStdString();
}

// The looks of styles.xml, by the index a cell's s attribute gives.
std::vector<CellLook> cellLooks(const std::string& path) {
    QXmlStreamReader xml(member(path, "xl/styles.xml"));
    std::map<int, std::string> numberFormats{{0, "General"}, {14, "m/d/yyyy"}, {10, "0.00%"}};
    struct Font {
        std::string name;
        double size = 0;
        bool bold = false;
    };
    struct Borders {
        std::string bottom;
        bool other = false;
    };
    std::vector<Font> fonts;
    std::vector<Borders> borders;
    std::vector<CellLook> looks;
    std::string section, edge;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        auto name = xml.name().toString().toStdString();
        if (name == "fonts" || name == "borders" || name == "cellXfs" || name == "cellStyleXfs")
            section = name;
        else if (name == "numFmt")
            numberFormats[std::stoi(attr(xml, "numFmtId"))] = attr(xml, "formatCode");
        else if (section == "fonts" && name == "font")
            fonts.emplace_back();
        else if (section == "fonts" && name == "b")
            fonts.back().bold = true;
        else if (section == "fonts" && name == "sz")
            fonts.back().size = std::stod(attr(xml, "val"));
        else if (section == "fonts" && name == "name")
            fonts.back().name = attr(xml, "val");
        else if (section == "borders" && name == "border")
            borders.emplace_back();
        else if (section == "borders" && (name == "left" || name == "right" || name == "top" ||
                                          name == "bottom" || name == "diagonal")) {
            std::string style = attr(xml, "style");
            if (name == "bottom")
                borders.back().bottom = style;
            else if (!style.empty())
                borders.back().other = true;
        } else if (section == "cellXfs" && name == "xf") {
            CellLook look;
            look.valign = "bottom"; // the file format's default
            look.numberFormat = numberFormats[std::stoi(attr(xml, "numFmtId"))];
            const Font& font = fonts.at(std::stoi(attr(xml, "fontId")));
            look.fontName = font.name, look.fontSize = font.size, look.bold = font.bold;
            const Borders& border = borders.at(std::stoi(attr(xml, "borderId")));
            look.bottomBorder = border.bottom, look.otherBorders = border.other;
            looks.push_back(look);
        } else if (section == "cellXfs" && name == "alignment") {
            looks.back().align = attr(xml, "horizontal");
            std::string vertical = attr(xml, "vertical");
            looks.back().valign = vertical.empty() ? "bottom" : vertical;
        }
    }
    return looks;
}

int rowOf(const std::string& a1) {
    size_t digits = a1.find_first_of("0123456789");
    return std::stoi(a1.substr(digits));
}

} // namespace

const Cell* Sheet::cell(const std::string& a1) const {
    auto found = cells.find(a1);
    return found == cells.end() ? nullptr : &found->second;
}

int Sheet::lastRow() const {
    int last = 0;
    for (const auto& [name, c] : cells)
        last = std::max(last, rowOf(name));
    return last;
}

Sheet readFirstSheet(const std::string& path) {
    std::vector<std::string> strings = sharedStrings(path);
    std::vector<CellLook> looks = cellLooks(path);
    Sheet sheet;
    QXmlStreamReader xml(member(path, "xl/worksheets/sheet1.xml"));
    Cell* current = nullptr;
    bool shared = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        auto name = xml.name();
        if (name == u"pane" && attr(xml, "state") == "frozen")
            sheet.frozenAt = attr(xml, "topLeftCell");
        else if (name == u"col") {
            for (int c = std::stoi(attr(xml, "min")); c <= std::stoi(attr(xml, "max")); ++c)
                sheet.columnWidths[c] = std::stod(attr(xml, "width")) - 5.0 / 7.0;
        } else if (name == u"c") {
            current = &sheet.cells[attr(xml, "r")];
            std::string s = attr(xml, "s");
            current->look = looks.at(s.empty() ? 0 : std::stoi(s));
            shared = attr(xml, "t") == "s";
        } else if (name == u"f" && current) {
            current->formula = xml.readElementText().toStdString();
        } else if (name == u"v" && current) {
            std::string v = xml.readElementText().toStdString();
            current->value = shared ? strings.at(std::stoi(v)) : v;
        }
    }
    return sheet;
}

} // namespace workbook::readback
