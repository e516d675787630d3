#pragma once
// A scripted presentation reader: the test lays out slides and shapes and
// reads back the calls the converter made.
#include <string>
#include <vector>

#include "presentation/reader.h"

namespace lamina::converter::testing {

struct FakeShape {
  bool textFrame = false;
  std::u16string text;
  std::u16string alternative;
  std::vector<presentation::ShapeId> members;
};

class FakeReader final : public presentation::PresentationReader {
 public:
  presentation::OpenResult openResult = presentation::OpenResult::ok;
  std::vector<FakeShape> shapes;
  std::vector<std::vector<presentation::ShapeId>> slides;
  std::vector<std::string> calls;
  std::string openedName;

  presentation::ShapeId add(FakeShape shape) {
    shapes.push_back(std::move(shape));
    return static_cast<presentation::ShapeId>(shapes.size() - 1);
  }
  presentation::ShapeId text(std::u16string text) { return add({true, std::move(text), {}, {}}); }
  presentation::ShapeId picture(std::u16string alternative) {
    return add({false, {}, std::move(alternative), {}});
  }
  presentation::ShapeId group(std::vector<presentation::ShapeId> members,
                              std::u16string alternative = {}) {
    return add({false, {}, std::move(alternative), std::move(members)});
  }

  bool create() override {
    calls.push_back("create");
    return true;
  }
  void setVisible(bool visible) override { calls.push_back(visible ? "visible" : "hidden"); }
  bool presentations() override {
    calls.push_back("presentations");
    return true;
  }
  presentation::OpenResult open(std::string_view fileName, bool readOnly, bool untitled,
                                bool withWindow) override {
    calls.push_back(std::string("open ") + (readOnly ? "1" : "0") + (untitled ? "1" : "0") +
                    (withWindow ? "1" : "0"));
    openedName = std::string(fileName);
    return openResult;
  }
  std::vector<int> damaged;  // slides (from 1) reported as unreadable

  int slideCount() override { return static_cast<int>(slides.size()); }
  std::vector<int> damagedSlides() override { return damaged; }
  int shapeCount(int slide) override {
    return static_cast<int>(slides.at(static_cast<std::size_t>(slide - 1)).size());
  }
  presentation::ShapeId shapeItem(int slide, int shape) override {
    return slides.at(static_cast<std::size_t>(slide - 1)).at(static_cast<std::size_t>(shape - 1));
  }
  bool hasTextFrame(presentation::ShapeId shape) override { return shapes.at(shape).textFrame; }
  std::u16string text(presentation::ShapeId shape) override { return shapes.at(shape).text; }
  std::u16string alternativeText(presentation::ShapeId shape) override {
    return shapes.at(shape).alternative;
  }
  int memberCount(presentation::ShapeId shape) override {
    return static_cast<int>(shapes.at(shape).members.size());
  }
  presentation::ShapeId memberItem(presentation::ShapeId shape, int member) override {
    return shapes.at(shape).members.at(static_cast<std::size_t>(member - 1));
  }
  void close() override { calls.push_back("close"); }
  void quit() override { calls.push_back("quit"); }
};

}  // namespace lamina::converter::testing
