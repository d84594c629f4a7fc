#pragma once
// The document: the program keeps no data of its own.

#include <QObject>

namespace varn {

class CSetupDoc : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
};

} // namespace varn
