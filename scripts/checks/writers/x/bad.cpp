void f(SerialPort& port) { port.write("QXS"); }
