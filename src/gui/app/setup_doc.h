#pragma once
// The document: the program keeps no data of its own.

#include <QObject>

class CSetupDoc : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
};
