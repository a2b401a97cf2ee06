#include "resources/resource_path.h"

QString resourcePath(int number) {
    return QStringLiteral(":/res/%1.png").arg(number);
}
