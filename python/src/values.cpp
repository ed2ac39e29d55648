// SPDX-License-Identifier: Apache-2.0
#include "values.h"

#include <mivaro/regions.h>
#include <pybind11/stl.h>

#include <vector>

namespace mivaro::python {

py::object FieldOf(const PyResult& r, RecordField field) {
  const Result& result = r.result;
  const bool formed = result.WellFormed();
  switch (field) {
    case RecordField::Input:
      return r.input;
    case RecordField::Number:
      return OrNone(formed, py::str(std::string(result.NumberText())));
    case RecordField::Valid:
      return py::bool_(result.valid);
    case RecordField::Check:
      return OrNone(formed, py::str(std::string(result.CheckText())));
    case RecordField::Sum:
      return OrNone(formed, py::int_(result.sum));
    case RecordField::Group:
      if (!formed) return py::none();
      return py::str(std::string(GroupName(*result.group)));
    case RecordField::Regions: {
      std::vector<std::string_view> captions;
      for (const Region& region : kRegions) {
        if ((result.regions & region.bit) != 0) captions.push_back(region.caption);
      }
      return py::tuple(py::cast(captions));
    }
    case RecordField::Error:
      return OrNone(!formed, py::str(std::string(ErrorText(result.error))));
  }
  return py::none();
}

py::tuple FieldsOf(const PyResult& r) {
  py::tuple fields(kRecordFields.size());
  for (std::size_t i = 0; i < kRecordFields.size(); ++i) {
    fields[i] = FieldOf(r, static_cast<RecordField>(i));
  }
  return fields;
}

}  // namespace mivaro::python
