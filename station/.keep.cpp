// station
