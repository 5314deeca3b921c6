#pragma once
#include "datapipe/qtserialdriver.h"
#include "datapipe/tcpsocketcontrol.h"
#include "testwindow.h"

// Over the real serial driver and TCP socket.
using RealWindow = WindowOver<QtSerialDriver, TcpSocketControl>;
