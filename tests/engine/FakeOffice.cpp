#include "FakeOffice.h"

#include "automation/Constants.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace fake {

namespace {

class OleFormat : public IOLEFormat {
public:
    OleFormat(World& w, std::string progId) : w_(w), progId_(std::move(progId)) {}
    std::string ProgID() override {
        w_.Check("ProgID");
        return progId_;
    }

private:
    World& w_;
    std::string progId_;
};

class ExcelShape : public IExcelShape {
public:
    ExcelShape(World& w, Sheet& sheet) : w_(w), sheet_(sheet) {}
    void Copy() override {
        w_.Check("ExcelShape.Copy");
        w_.clip = sheet_.pasted.at(0);
    }
    void Delete() override { sheet_.pasted.erase(sheet_.pasted.begin()); }

private:
    World& w_;
    Sheet& sheet_;
};

int DataTypeOfCaption(const std::string& caption) {
    if (caption == "図 (JPEG)")
        return ppPasteJPG;
    if (caption == "図 (PNG)")
        return ppPastePNG;
    if (caption == "図 (GIF)")
        return ppPasteGIF;
    if (caption == "図 (拡張メタファイル)")
        return ppPasteMetafilePicture;
    throw AutomationError("PasteSpecial", "unknown format " + caption);
}

// A pasted picture keeps the clip's transparency unless JPEG flattens it.
Clip Encoded(World& w, int dataType, const Clip& source) {
    Clip c = source;
    c.weight = w.encode(dataType, source);
    c.flattened = source.flattened || (dataType == ppPasteJPG && source.transparentShare > 0);
    c.format = dataType;
    return c;
}

} // namespace

ShapePtr Connector::BeginConnectedShape() {
    return begin;
}
ShapePtr Connector::EndConnectedShape() {
    return end;
}
void Connector::BeginConnect(ShapePtr shape, int site) {
    w_.Check("BeginConnect");
    begin = std::dynamic_pointer_cast<Shape>(shape);
    beginSite = site;
}
void Connector::EndConnect(ShapePtr shape, int site) {
    w_.Check("EndConnect");
    end = std::dynamic_pointer_cast<Shape>(shape);
    endSite = site;
}

int Shape::ZOrderPosition() {
    w_.Check("ZOrderPosition");
    return static_cast<int>(slide->PositionOf(this)) + 1;
}

void Shape::ZOrder(int command) {
    w_.Check("ZOrder");
    if (command != msoSendBackward)
        throw AutomationError("ZOrder", "only send backward is modelled");
    const std::size_t pos = slide->PositionOf(this);
    if (pos > 0)
        std::swap(slide->shapes[pos], slide->shapes[pos - 1]);
}

void Shape::Select(bool replace) {
    w_.Check("Shape.Select", name);
    if (replace)
        w_.selection.clear();
    w_.selection.push_back(shared_from_this());
}

void Shape::Copy() {
    w_.Check("Shape.Copy", name);
    w_.copiedWidths.push_back(width);
    w_.clip = Clip{weight, width, height, transparentShare, flattened, format};
}

void Shape::Delete() {
    w_.Check("Shape.Delete", name);
    if (slide)
        slide->Remove(this);
    deleted = true;
}

ShapeRangePtr Shape::Ungroup() {
    w_.Check("Ungroup");
    const std::size_t pos = slide->PositionOf(this);
    Slide* s = slide;
    s->Remove(this);
    for (std::size_t i = 0; i < members.size(); ++i)
        s->Insert(pos + i, members[i]);
    auto range = std::make_shared<fake::Range>(w_, s, members);
    members.clear();
    return range;
}

std::shared_ptr<IOLEFormat> Shape::OLEFormat() {
    w_.Check("OLEFormat");
    return std::make_shared<OleFormat>(w_, progId);
}

ShapePtr Range::Group() {
    w_.Check("Group");
    if (!slide_ || shapes_.size() < 2)
        throw AutomationError("Group", "needs two shapes");
    std::size_t top = 0;
    for (const auto& s : shapes_)
        top = std::max(top, slide_->PositionOf(s.get()));
    auto group = std::make_shared<Shape>(w_, "Group " + std::to_string(slide_->autoCounter++), msoGroup);
    double l = 1e9, t = 1e9, r = -1e9, b = -1e9;
    for (const auto& s : shapes_) {
        l = std::min(l, s->left);
        t = std::min(t, s->top);
        r = std::max(r, s->left + s->width);
        b = std::max(b, s->top + s->height);
        group->weight += s->weight;
        slide_->Remove(s.get());
    }
    group->left = l;
    group->top = t;
    group->width = r - l;
    group->height = b - t;
    group->members = shapes_;
    slide_->Insert(top - (shapes_.size() - 1), group);
    return group;
}

std::shared_ptr<IEffect> Sequence::Item(int index) {
    return effects.at(index - 1);
}

std::shared_ptr<IEffect> Sequence::AddEffect(ShapePtr shape, int effectId, int index) {
    w_.Check("AddEffect");
    auto effect = std::make_shared<Effect>(*this, std::move(shape), effectId);
    if (index < 1 || index > static_cast<int>(effects.size()))
        effects.push_back(effect);
    else
        effects.insert(effects.begin() + (index - 1), effect);
    return effect;
}

int Effect::Index() {
    for (std::size_t i = 0; i < seq_.effects.size(); ++i) {
        if (seq_.effects[i].get() == this)
            return static_cast<int>(i) + 1;
    }
    throw AutomationError("Index", "effect gone");
}

void Effect::Delete() {
    auto& list = seq_.effects;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& e) { return e.get() == this; }),
               list.end());
}

Slide::Slide(World& w) : w_(w), sequence(std::make_shared<Sequence>(w)) {}

std::shared_ptr<IShapes> Slide::Shapes() {
    return std::make_shared<fake::Shapes>(w_, shared_from_this());
}

FakeShapePtr Slide::Add(const std::string& name, int type, double l, double t, double w, double h,
                        double weight) {
    auto s = std::make_shared<Shape>(w_, name, type);
    s->left = l;
    s->top = t;
    s->width = w;
    s->height = h;
    s->weight = weight;
    Insert(shapes.size(), s);
    return s;
}

void Slide::Insert(std::size_t position, const FakeShapePtr& shape) {
    shape->slide = this;
    shapes.insert(shapes.begin() + static_cast<std::ptrdiff_t>(std::min(position, shapes.size())), shape);
}

void Slide::Remove(Shape* shape) {
    shapes.erase(
        std::remove_if(shapes.begin(), shapes.end(), [&](const auto& s) { return s.get() == shape; }),
        shapes.end());
    // As in the office application: the shape's effects go, and connectors glued to it come loose.
    auto& list = sequence->effects;
    list.erase(
        std::remove_if(list.begin(), list.end(), [&](const auto& e) { return e->shape.get() == shape; }),
        list.end());
    for (const auto& s : shapes) {
        if (!s->connector)
            continue;
        if (s->connector->begin.get() == shape)
            s->connector->begin.reset();
        if (s->connector->end.get() == shape)
            s->connector->end.reset();
    }
}

std::size_t Slide::PositionOf(const Shape* shape) const {
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i].get() == shape)
            return i;
    }
    throw AutomationError("ZOrderPosition", "shape not on the slide");
}

FakeShapePtr Slide::Find(const std::string& name) const {
    for (const auto& s : shapes) {
        if (s->name == name)
            return s;
    }
    return nullptr;
}

std::vector<std::string> Slide::Names() const {
    std::vector<std::string> names;
    for (const auto& s : shapes)
        names.push_back(s->name);
    return names;
}

double Slide::Weight() const {
    double total = 0;
    for (const auto& s : shapes)
        total += s->weight;
    return total;
}

ShapePtr Shapes::AddShape(int type, double left, double top, double width, double height) {
    w_.Check("AddShape");
    const std::string base = type == msoShapeOval ? "Oval " : "Rectangle ";
    return slide_->Add(base + std::to_string(slide_->autoCounter++), msoAutoShape, left, top, width, height);
}

ShapeRangePtr Shapes::Paste() {
    w_.Check("Paste");
    if (!w_.clip)
        throw AutomationError("Paste", "clipboard empty");
    auto s = slide_->Add("Pasted " + std::to_string(w_.pasteCounter++), msoPicture, 0, 0, w_.clip->width,
                         w_.clip->height, w_.clip->weight);
    s->transparentShare = w_.clip->transparentShare;
    s->flattened = w_.clip->flattened;
    s->format = w_.clip->format;
    return std::make_shared<fake::Range>(w_, slide_.get(), std::vector<FakeShapePtr>{s});
}

ShapeRangePtr Shapes::PasteSpecial(int dataType) {
    w_.Check("PasteSpecial");
    if (!w_.clip)
        throw AutomationError("PasteSpecial", "clipboard empty");
    w_.pasteTypes.push_back(dataType);
    const Clip c = Encoded(w_, dataType, *w_.clip);
    auto s = slide_->Add("Picture " + std::to_string(w_.pictureCounter++), msoPicture, 0, 0, c.width,
                         c.height, c.weight);
    s->transparentShare = c.transparentShare;
    s->flattened = c.flattened;
    s->format = c.format;
    return std::make_shared<fake::Range>(w_, slide_.get(), std::vector<FakeShapePtr>{s});
}

void Presentation::SaveAs(const std::string& fileName) {
    w_.Check("SaveAs");
    double size = baseSize_;
    for (const auto& s : slides)
        size += s->Weight();
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    const std::string bytes(static_cast<std::size_t>(std::llround(size)), '\0');
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    fullName_ = fileName;
    ++saves;
}

SlidePtr Presentation::Add(int index, int) {
    w_.Check("Slides.Add");
    auto slide = std::make_shared<Slide>(w_);
    slides.insert(slides.begin() + (index - 1), slide);
    return slide;
}

ShapeRangePtr Presentation::ShapeRange() {
    w_.Check("Selection.ShapeRange");
    Slide* slide = w_.selection.empty() ? nullptr : w_.selection.front()->slide;
    return std::make_shared<fake::Range>(w_, slide, w_.selection);
}

void Sheet::PasteSpecial(const std::string& format, bool, bool) {
    w_.Check("Sheet.PasteSpecial");
    w_.excelFormats.push_back(format);
    if (!w_.clip)
        throw AutomationError("PasteSpecial", "clipboard empty");
    pasted.push_back(Encoded(w_, DataTypeOfCaption(format), *w_.clip));
}

std::shared_ptr<IExcelShape> Sheet::Shapes(int index) {
    if (index != 1 || pasted.empty())
        throw AutomationError("Shapes", "no shape");
    return std::make_shared<ExcelShape>(w_, *this);
}

std::optional<ColorBox> Clipboard::RenderMetafile(int boxWidth, int boxHeight) {
    if (!w_.clip)
        return std::nullopt;
    ColorBox box;
    box.width = boxWidth;
    box.height = boxHeight;
    const std::size_t total = static_cast<std::size_t>(boxWidth) * static_cast<std::size_t>(boxHeight);
    const auto transparent = static_cast<std::size_t>(std::floor(w_.clip->transparentShare * double(total)));
    box.colors.assign(total, 0x808080);
    // Transparent pixels show the white box, or black once a JPEG flattened them.
    std::fill(box.colors.begin(), box.colors.begin() + static_cast<std::ptrdiff_t>(transparent),
              w_.clip->flattened ? 0u : 16777215u);
    return box;
}

} // namespace fake
