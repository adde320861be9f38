// The floor for any Qt GUI program: create the application object and exit.
#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return 0;
}
